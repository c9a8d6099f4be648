// The third-party libraries as the program uses them, and C++ exceptions
// crossing from a DLL into the program.
#include <gtest/gtest.h>

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <pugixml.hpp>
#include <roaring/roaring.h>
#include <sigc++/sigc++.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/deps/throwing_dll.h"

namespace {

TEST(Deps, CryptoppBase64AndHexRoundTrip) {
    const std::string raw("\x00\x01\xfe\xffQuedra bookmarks\n", 21);
    std::string b64, back;
    CryptoPP::StringSource(raw, true,
        new CryptoPP::Base64Encoder(new CryptoPP::StringSink(b64), false));
    EXPECT_EQ(b64, "AAH+/1F1ZWRyYSBib29rbWFya3MK");
    CryptoPP::StringSource(b64, true,
        new CryptoPP::Base64Decoder(new CryptoPP::StringSink(back)));
    EXPECT_EQ(back, raw);

    std::string hex;
    CryptoPP::StringSource(std::string("\x0a\xbc", 2), true,
        new CryptoPP::HexEncoder(new CryptoPP::StringSink(hex)));
    EXPECT_EQ(hex, "0ABC");
}

TEST(Deps, PugixmlParsesAndWrites) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<MsgBoxes language=\"en\"><MsgBox id=\"A\"/></MsgBoxes>"));
    EXPECT_STREQ(doc.child("MsgBoxes").attribute("language").value(), "en");
    doc.child("MsgBoxes").append_child("MsgBox").append_attribute("id") = "B";
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    EXPECT_EQ(out.str(),
              "<MsgBoxes language=\"en\"><MsgBox id=\"A\"/><MsgBox id=\"B\"/></MsgBoxes>");
}

TEST(Deps, SigcSignalReachesTwoSlots) {
    sigc::signal<void, int> changed;
    std::vector<std::string> calls;
    changed.connect([&](int v) { calls.push_back("first " + std::to_string(v)); });
    sigc::connection second =
        changed.connect([&](int v) { calls.push_back("second " + std::to_string(v)); });
    changed.emit(3);
    second.disconnect();
    changed.emit(4);
    EXPECT_EQ(calls, (std::vector<std::string>{"first 3", "second 3", "first 4"}));
}

TEST(Deps, RoaringBitmapSerialisesAndReadsBack) {
    roaring_bitmap_t* lines = roaring_bitmap_create();
    for (uint32_t line : {1u, 2u, 3u, 500u, 70000u, 1000000u}) roaring_bitmap_add(lines, line);
    std::vector<char> bytes(roaring_bitmap_portable_size_in_bytes(lines));
    ASSERT_EQ(roaring_bitmap_portable_serialize(lines, bytes.data()), bytes.size());
    roaring_bitmap_t* back = roaring_bitmap_portable_deserialize_safe(bytes.data(), bytes.size());
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(roaring_bitmap_equals(lines, back));
    EXPECT_EQ(roaring_bitmap_get_cardinality(back), 6u);
    EXPECT_TRUE(roaring_bitmap_contains(back, 70000));
    EXPECT_FALSE(roaring_bitmap_contains(back, 4));
    // A damaged stream is refused, not read past its end.
    EXPECT_EQ(roaring_bitmap_portable_deserialize_safe(bytes.data(), bytes.size() / 2), nullptr);
    roaring_bitmap_free(back);
    roaring_bitmap_free(lines);
}

TEST(Deps, ExceptionThrownInOurDllIsCaughtInTheProgram) {
    try {
        ThrowFromDll("thrown across the module boundary");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "thrown across the module boundary");
    }
}

} // namespace
