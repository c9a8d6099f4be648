// Tests the document: the open-mode matrix (read-only and locked files,
// missing files with and without creation, quiet and hidden opens), the open
// mode restored after every open, named and engine buffers, the output
// frame, a created-empty file removed when closed unsaved, style-sheet
// choice, modified-state mapping, walkers and the engine's language source.
#include "editor/qwdoc.h"

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "editor/stylesheet.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwmsgbox.h"
#include "framework/fwview.h"
#include "opsys/bufstream.h"
#include "opsys/msgbox_backend.h"
#include "opsys/shell_outlets.h"
#include "tests/editor/doc_test_env.h"
#include "tests/Reu/reu_test_env.h"
#include "tests/support/fs_faults.h"
#include "VmEngine/lexlang.h"
#include "VmEngine/vm.h"

namespace {

std::vector<std::string> g_boxes;      // message boxes (text)
std::vector<std::string> g_fw_boxes;   // the framework's file-error boxes
std::vector<std::string> g_status;     // status-bar texts
int g_answer = IDNO;

int Box(HWND, const char* text, const char*, UINT) {
    g_boxes.push_back(text ? text : "");
    return g_answer;
}
int FrameworkBox(HWND__*, const char* text, const char*, unsigned) {
    g_fw_boxes.push_back(text ? text : "");
    return IDOK;
}
void Status(const char* text, int, unsigned, unsigned) { g_status.push_back(text ? text : ""); }

// A view that keeps the hints its document sends.
class HintView : public fw::View {
public:
    void OnUpdate(fw::View*, LPARAM hint, fw::Object*) override { hints.push_back(static_cast<int>(hint)); }
    std::vector<int> hints;
};

class Documents : public doctest::LangTest {
protected:
    void SetUp() override {
        doctest::LangTest::SetUp();
        SetLanguageDictionaryFolders(QW_CONFIG_DIR "/", "JS");
        QwShellOutlets o = QwGetShellOutlets();
        o.status_set_text = Status;
        o.app_thread_id = GetCurrentThreadId();
        QwSetShellOutlets(&o);
        QwSetMessageBoxBackend(Box);
        fw::SetMessageBoxHandler(FrameworkBox);
        g_boxes.clear();
        g_fw_boxes.clear();
        g_status.clear();
        g_answer = IDNO;
        CreateStyleSheetArray(dir.file("StyleSheets.JS").c_str());
        g_boxes.clear();
        app = std::make_unique<fw::Application>();
        text = new fw::MultiDocTemplate(DOC_TEMPLATE_TEXT, FW_RUNTIME_CLASS(CQWDoc),
                                        FW_RUNTIME_CLASS(fw::MDIChildWindow), FW_RUNTIME_CLASS(fw::View));
        output = new fw::MultiDocTemplate(DOC_TEMPLATE_OUTPUT, FW_RUNTIME_CLASS(CQWDoc),
                                          FW_RUNTIME_CLASS(fw::MDIChildWindow), FW_RUNTIME_CLASS(fw::View));
        app->AddDocTemplate(text);
        app->AddDocTemplate(output);
    }
    void TearDown() override {
        docs.clear();
        views.clear();
        app.reset();
        DestroyStyleSheetArray();
        fw::SetMessageBoxHandler(nullptr);
        doctest::LangTest::TearDown();
    }
    CQWDoc* NewDoc(fw::MultiDocTemplate* tpl = nullptr) {
        docs.push_back(std::make_unique<CQWDoc>());
        (tpl ? tpl : text)->AddDocument(docs.back().get());
        return docs.back().get();
    }
    HintView* AddView(CQWDoc* d) {
        views.push_back(std::make_unique<HintView>());
        d->AddView(views.back().get());
        return views.back().get();
    }
    void Close(CQWDoc* d) {
        for (auto& p : docs)
            if (p.get() == d) p.reset();
    }
    std::unique_ptr<fw::Application> app;
    fw::MultiDocTemplate* text = nullptr;
    fw::MultiDocTemplate* output = nullptr;
    std::vector<std::unique_ptr<HintView>> views;
    std::vector<std::unique_ptr<CQWDoc>> docs;
};

TEST_F(Documents, OpenModeMatrix) {
    std::string plain = dir.file("plain.c"), ro = dir.file("ro.c"), locked = dir.file("locked.c");
    for (const std::string& p : {plain, ro, locked}) qwtest::WriteFileBytes(p, "int x;\r\n");
    // The fault table refuses to open one file for writing, as the system does
    // for a read-only file (the tests may run with rights that ignore the
    // attribute); a second file is missing and cannot be created.
    const std::string no_create = dir.file("nocreate.c");
    qwtest::ScopedFsFaults faults;
    faults.state.readonly = {ro, no_create};
    int c_index;
    FindOrLoadLanguageSpec(&c_index, 4, nullptr, nullptr);  // its compiling shows on the status bar
    // Another program holds the file open for reading and lets nobody write.
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::string nofolder = dir.file("no\\such\\dir\\x.c");
    struct Case {
        const char* name; std::string path; uint32_t mode; int answer;
        int ok; int view_mode; size_t boxes; size_t fw_boxes; const char* status; uint32_t state;
    } cases[] = {
        {"read-write", plain, 0x22, IDNO, 1, 0, 0, 0, nullptr, 0},
        {"read only", plain, 0x20, IDNO, 1, 1, 0, 0, nullptr, 0},
        {"read-only file", ro, 0x22, IDNO, 1, 1, 0, 0, "is Read Only - Write access denied", 0},
        {"read-only file, quiet", ro, 0x22 | 0x40000, IDNO, 1, 1, 0, 0, nullptr, 0},
        {"read-only file, no fallback", ro, 0x22 | 0x80000, IDNO, 0, 0, 0, 1, nullptr, 0},
        {"locked file", locked, 0x22, IDNO, 1, 1, 0, 0, "is Locked - Write access denied", 0},
        {"missing", dir.file("gone.c"), 0x22, IDNO, 0, 0, 0, 0, "not found", 0},
        {"missing, no report", dir.file("gone.c"), 0x22 | 0x10000, IDNO, 0, 0, 0, 0, nullptr, 0},
        {"missing, offer, no", dir.file("new1.c"), 0x22 | 0x20000, IDNO, 0, 0, 1, 0, nullptr, 0},
        {"missing, offer, yes", dir.file("new2.c"), 0x22 | 0x20000, IDYES, 1, 0, 1, 0, nullptr, 0x1300},
        {"missing, create quietly", dir.file("new3.c"), 0x22 | 0x60000, IDNO, 1, 0, 0, 0, nullptr, 0x1300},
        {"cannot create, quiet", no_create, 0x22 | 0x60000, IDNO, 0, 0, 0, 0, nullptr, 0},
        {"cannot create, asked", no_create, 0x22 | 0x20000, IDYES, 0, 0, 1, 1, nullptr, 0},
        {"no such folder", nofolder, 0x22 | 0x20000, IDYES, 0, 0, 0, 1, nullptr, 0},
        {"no such folder, quiet", nofolder, 0x22 | 0x60000, IDYES, 0, 0, 0, 0, nullptr, 0},
        {"hidden, missing", dir.file("gone.c"), 0x22 | 0x100000, IDNO, 0, 0, 0, 0, nullptr, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        g_boxes.clear();
        g_fw_boxes.clear();
        g_status.clear();
        g_answer = k.answer;
        CQWDoc* d = NewDoc();
        SetOpenMode(k.mode);
        EXPECT_EQ(d->OnOpenDocument(k.path), k.ok != 0);
        EXPECT_EQ(GetOpenMode(), uint32_t{DOC_OPEN_RESTING});
        EXPECT_EQ(g_boxes.size(), k.boxes);
        EXPECT_EQ(g_fw_boxes.size(), k.fw_boxes);
        if (k.status) {
            ASSERT_EQ(g_status.size(), 1u);
            EXPECT_NE(g_status[0].find(k.status), std::string::npos) << g_status[0];
        } else {
            EXPECT_TRUE(g_status.empty()) << g_status[0];
        }
        if (k.ok) {
            EXPECT_EQ(d->IsViewMode(), k.view_mode);
            EXPECT_FALSE(d->IsEdited());
            EXPECT_EQ(vm_state_flags(d->GetBuffer(), VM_OP_READ, 0x1300), k.state);
            EXPECT_TRUE(std::filesystem::exists(k.path));
        } else if (k.path != plain && k.path != ro) {
            EXPECT_FALSE(std::filesystem::exists(k.path));
        }
        Close(d);
    }
    CloseHandle(holder);
    faults.state.readonly.clear();
    // Closing unsaved removed the files created empty; the others stay.
    EXPECT_FALSE(std::filesystem::exists(dir.file("new2.c")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("new3.c")));
    EXPECT_TRUE(std::filesystem::exists(plain));
}

TEST_F(Documents, NamedBufferTwiceAndEngineBuffers) {
    CQWDoc* a = NewDoc();
    CQWDoc* b = NewDoc();
    ASSERT_TRUE(a->OnOpenDocument("Buffer q"));
    ASSERT_TRUE(b->OnOpenDocument("C:\\x\\BUFFER q"));
    EXPECT_EQ(a->GetBuffer(), b->GetBuffer());
    EXPECT_EQ(a->GetStyleSheet(), nullptr);
    EXPECT_EQ(a->GetPathName(), "Buffer q");
    vm_insert_line(a->GetBuffer(), 0, "edited", -1);
    EXPECT_FALSE(a->IsModified());
    Close(a);
    VMB* q = vmb_find(VMB_T_TEMP, "Buffer q");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(b->GetBuffer(), q);
    Close(b);
    EXPECT_NE(vmb_find(VMB_T_TEMP, "Buffer q"), nullptr);
    EXPECT_EQ(vmb_get_client_data(q), nullptr);

    // "*VMB*" and the handle's value attaches that buffer; a dead value fails quietly.
    VMB* list = vmb_open(VMB_T_TEMP, "Some list", VMB_O_FILE);
    CQWDoc* c = NewDoc();
    std::string name = "*VMB*" + std::to_string(reinterpret_cast<uintptr_t>(list));
    EXPECT_TRUE(c->OnOpenDocument(name));
    EXPECT_EQ(c->GetBuffer(), list);
    EXPECT_EQ(vmb_get_client_data(list), c);
    CQWDoc* dead = NewDoc();
    EXPECT_FALSE(dead->OnOpenDocument("*VMB*12345"));
    EXPECT_TRUE(g_boxes.empty());
    // The output frame needs no buffer.
    CQWDoc* frame = NewDoc();
    EXPECT_TRUE(frame->OnOpenDocument("C:\\<Output~Window~Frame>"));
    EXPECT_EQ(frame->GetBuffer(), nullptr);
    CQWDoc* out = NewDoc(output);
    EXPECT_TRUE(out->OnNewDocument());
    EXPECT_EQ(out->GetBuffer(), nullptr);
}

TEST_F(Documents, StyleSheetLanguageAndState) {
    std::string pas = dir.file("Unit.PAS"), odd = dir.file("data.odd");
    qwtest::WriteFileBytes(pas, "begin end.\r\n");
    qwtest::WriteFileBytes(odd, "x\r\n");
    CQWDoc* p = NewDoc();
    ASSERT_EQ(p->OpenWithMode(pas.c_str(), 0x22), 1);
    ASSERT_NE(p->GetStyleSheet(), nullptr);
    EXPECT_EQ(p->GetStyleSheet()->m_SSName, "Delphi");
    EXPECT_EQ(GetLanguageParserType(p->GetLanguage()), 23);
    EXPECT_EQ(GetBufferLanguage(p->GetBuffer()), p->GetLanguage());
    p->GetStyleSheet()->m_TabSize = 0;
    EXPECT_EQ(p->GetTabWidth(), 8);
    EXPECT_EQ(p->GetPathName(), pas);
    EXPECT_EQ(p->IsNamedFile(), 1);
    p->SetModifiedFlag(1);
    EXPECT_TRUE(p->IsModified());
    EXPECT_EQ(vm_state_flags(p->GetBuffer(), VM_OP_READ, 0x1), 0x1u);
    p->SetModifiedFlag(0);
    EXPECT_FALSE(p->IsModified());

    CQWDoc* o = NewDoc();
    ASSERT_EQ(o->OpenWithMode(odd.c_str(), 0x22), 1);
    EXPECT_EQ(o->GetStyleSheet()->m_SSName, "Default");

    SetNewDocStyleSheetName("Perl");
    CQWDoc* n = NewDoc();
    ASSERT_TRUE(n->OnNewDocument());
    EXPECT_EQ(n->GetStyleSheet()->m_SSName, "Perl");
    EXPECT_EQ(GetLanguageParserType(n->GetLanguage()), 24);
    EXPECT_EQ(n->IsUnnamedFile(), 1);
    // A new text is to end in a line break; that is the engine's flag, not a "new" mark.
    EXPECT_EQ(vm_state_flags(n->GetBuffer(), VM_OP_READ, VM_ST_FINAL_EOL), uint32_t{VM_ST_FINAL_EOL});
    SetNewDocStyleSheetName(nullptr);
    EXPECT_EQ(FindDocumentUsingStyleSheet("Delphi"), p);
    EXPECT_EQ(FindDocumentUsingStyleSheet("Ada"), nullptr);

    // The engine's lexical scan reaches the language through the documents.
    InstallDocumentLanguageSource();
    const VmLangSource* src = vm_lang_source();
    EXPECT_EQ(src->buffer_language(p->GetBuffer()), p->GetLanguage());
    EXPECT_EQ(src->buffer_tab_size(p->GetBuffer()), 8);
    EXPECT_EQ(src->is_keyword(p->GetLanguage(), "BEGIN", 5), 1);
    EXPECT_EQ(src->is_keyword(p->GetLanguage(), "BEGINS", 6), 0);
    vm_set_lang_source(nullptr);
}

TEST_F(Documents, OpenFinishAndIdleDuties) {
    static std::vector<CQWDoc*> info;
    static int hidden_pointer = 0;
    info.clear();
    hidden_pointer = 0;
    QWDocHooks hooks{};
    hooks.queue_doc_info = [](CQWDoc* d) { info.push_back(d); };
    hooks.hide_pointer = [](fw::View*) { ++hidden_pointer; };
    SetQWDocHooks(&hooks);
    std::string a = dir.file("a.c"), b = dir.file("b.c");
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "int v" + std::to_string(i) + ";\r\n";
    qwtest::WriteFileBytes(a, text);
    qwtest::WriteFileBytes(b, text);
    HANDLE read_event = static_cast<HANDLE>(GetDocReadEvent());
    WaitForSingleObject(read_event, 0);
    CQWDoc* da = NewDoc();
    ASSERT_EQ(da->OpenWithMode(a.c_str(), 0x22), 1);
    // Not read to its end yet: the read thread is woken.
    EXPECT_EQ(WaitForSingleObject(read_event, 0), WAIT_OBJECT_0);
    CQWDoc* db = NewDoc();
    ASSERT_EQ(db->OpenWithMode(b.c_str(), 0x22 | 0x100000), 1);
    EXPECT_EQ(info, std::vector<CQWDoc*>{da});

    vm_state_flags(da->GetBuffer(), VM_OP_SET, DOC_ST_TYPED);
    da->OnIdle();
    EXPECT_EQ(hidden_pointer, 1);
    EXPECT_EQ(vm_state_flags(da->GetBuffer(), VM_OP_READ, DOC_ST_TYPED), 0u);
    // With the engine's language source in place, idle passes extend the
    // known lexical states and tell the views.
    InstallDocumentLanguageSource();
    HintView* va = AddView(da);
    HintView* vb = AddView(db);
    da->OnIdle();
    db->OnIdle();
    EXPECT_EQ(va->hints, std::vector<int>{DOC_HINT_LEXICAL});
    EXPECT_TRUE(vb->hints.empty());  // a hidden document does not advance its states
    vm_set_lang_source(nullptr);
    SetQWDocHooks(nullptr);
}

TEST_F(Documents, WalkersFindVisibleDocuments) {
    std::string a = dir.file("a.c"), b = dir.file("b.txt");
    qwtest::WriteFileBytes(a, "x\r\n");
    qwtest::WriteFileBytes(b, "y\r\n");
    CQWDoc* da = NewDoc();
    ASSERT_EQ(da->OpenWithMode(a.c_str(), 0x22), 1);
    fw::View* view1 = AddView(da);
    CQWDoc* db = NewDoc();
    ASSERT_EQ(db->OpenWithMode(b.c_str(), 0x22 | 0x100000), 1);
    AddView(db);
    EXPECT_TRUE(db->IsHidden());
    fw::View* view = nullptr;
    std::string upper = a;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(FindDocumentByPath(upper.c_str(), &view), da);
    EXPECT_EQ(view, view1);
    EXPECT_EQ(FindDocumentByPath(b.c_str(), nullptr), nullptr);
    VMB* list = vmb_open(VMB_T_TEMP, "Open docs", VMB_O_FILE);
    EXPECT_EQ(ListOpenDocuments(list), 1);
    EXPECT_EQ(reutest::Lines(list), std::vector<std::string>{a});
    da->SetComparisonView(view1);
    EXPECT_EQ(FindOtherDocumentWithView(db), da);
    EXPECT_EQ(FindOtherDocumentWithView(da), nullptr);
}

}  // namespace
