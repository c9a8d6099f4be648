#pragma once
// Shared by the command-layer tests: the table is one global, so each test
// starts from the table as built and leaves it that way; messages (status
// texts and boxes) are recorded instead of shown.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "opsys/msgout.h"
#ifdef _WIN32
#include <windows.h>
#include "opsys/msgbox_backend.h"
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace cmdtest {

struct Messages {
    std::vector<std::string> status;
    std::vector<std::string> boxes;   // "caption|text"
};
inline Messages* g_messages = nullptr;

inline void on_status(const char* text, int, unsigned, unsigned) {
    if (g_messages) g_messages->status.push_back(text ? text : "");
}
inline int on_box(const char* text, const char* caption, unsigned) {
    if (g_messages)
        g_messages->boxes.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
    return 1;
}
#ifdef _WIN32
inline int on_box_win(HWND, const char* text, const char* caption, UINT style) {
    return on_box(text, caption, style);
}
#endif

inline void* fake_main_window() {
    static int window;
    return &window;
}

inline unsigned long this_thread() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memcpy(saved_, K_cmd_table, sizeof saved_);
        g_messages = &messages;
        QwShellOutlets o{};
        o.main_window = fake_main_window;
        o.app_thread_id = this_thread();
        o.status_set_text = on_status;
        QwSetShellOutlets(&o);
#ifdef _WIN32
        old_box_ = QwSetMessageBoxBackend(on_box_win);
#else
        old_box_ = QwSetHostMessageBox(on_box);
#endif
    }
    void TearDown() override {
        // Free what the test made (strings, owned titles), then put the table back.
        for (int i = 0; i < K_CMD_COUNT; ++i) {
            K_cmd_record& r = K_cmd_table[i];
            if (r.attr & K_ATTR_STRING) std::free(reinterpret_cast<char*>(r.value));
            if ((r.attr & K_ATTR_TITLE_OWNED) && (r.attr & (K_ATTR_TITLE | K_ATTR_TITLE_FLAG0)))
                std::free(const_cast<char*>(r.handler.title));
        }
        std::memcpy(K_cmd_table, saved_, sizeof saved_);
        K_cmd_set_profile(nullptr);
        K_cmd_set_frame_hooks(nullptr);
        K_cmd_set_dictionary_lookup(nullptr);
        for (int w = 0; w < K_OPTION_WORD_COUNT; ++w)
            K_cmd_set_option_word(K_cmd_option_word(w), nullptr);
        QwSetShellOutlets(nullptr);
#ifdef _WIN32
        QwSetMessageBoxBackend(old_box_);
#else
        QwSetHostMessageBox(old_box_);
#endif
        g_messages = nullptr;
    }

    Messages messages;

private:
    K_cmd_record saved_[K_CMD_COUNT];
#ifdef _WIN32
    QwMessageBoxBackend old_box_ = nullptr;
#else
    QwHostMessageBoxFn old_box_ = nullptr;
#endif
};

// The text of a file of the source tree.
inline std::string read_source_file(const char* relative) {
    std::string path = std::string(QW_SOURCE_DIR) + "/" + relative;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

} // namespace cmdtest
