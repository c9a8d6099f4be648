// The editor program started with a file: its document window shows the
// file, keys posted to the view edit the document, and closing the program
// asks about the change, saves it and ends with 0.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process_window.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kBin = QW_BIN_DIR;

std::string WinPath(const std::string& unix_path) {
    std::string p = unix_path;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

// Waits up to `ms` for `ready`, polling while the process lives.
template <typename F>
bool WaitFor(HANDLE process, DWORD ms, F ready) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (ready()) return true;
        if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) return ready();
    }
    return ready();
}

std::string Caption(HWND w) {
    char text[512] = "";
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// The first pane of the active document window: MDI client, child frame,
// splitter, view.
HWND DocumentView(HWND frame) {
    HWND client = FindWindowExA(frame, nullptr, "MDICLIENT", nullptr);
    HWND child = client ? GetWindow(client, GW_CHILD) : nullptr;
    HWND splitter = child ? GetDlgItem(child, 59648) : nullptr;
    return splitter ? GetDlgItem(splitter, 59648) : nullptr;
}

struct Program {
    PROCESS_INFORMATION pi{};
    bool Start(const std::string& args) {
        std::string cmd = "\"" + WinPath(kBin + "/QW32.exe") + "\" " + args;
        std::vector<char> line(cmd.begin(), cmd.end());
        line.push_back('\0');
        STARTUPINFOA si{};
        si.cb = sizeof si;
        return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    }
    ~Program() {
        if (!pi.hProcess) return;
        if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
};

// Starts the program on a file and waits for its document window; the
// main frame, or null (with the failure recorded) when none came.
HWND StartOn(Program& qw, const std::string& file, const std::string& name) {
    if (!qw.Start("\"" + WinPath(file) + "\"")) {
        ADD_FAILURE() << "the program did not start";
        return nullptr;
    }
    HWND frame = nullptr;
    if (!WaitFor(qw.pi.hProcess, 60000, [&] {
            frame = qwtest::FindProcessWindow(qw.pi.dwProcessId, "QWMainFrame");
            return frame && Caption(frame).find(name) != std::string::npos && DocumentView(frame);
        })) {
        ADD_FAILURE() << "no document window; caption: " << (frame ? Caption(frame) : "");
        return nullptr;
    }
    return frame;
}

void PostKey(HWND view, WPARAM vk) {
    PostMessageA(view, WM_KEYDOWN, vk, 1);
    PostMessageA(view, WM_KEYUP, vk, 0xC0000001);
}
void PostText(HWND view, const char* text) {
    for (const char* p = text; *p; ++p) PostMessageA(view, WM_CHAR, WPARAM(static_cast<unsigned char>(*p)), 1);
}

} // namespace

TEST(RunningEditor, KeysEditTheFileAndClosingSavesItAndEndsWithZero) {
    qwtest::TempDir dir;
    std::string file = dir.file("typed.c");
    qwtest::WriteFileBytes(file, "line one\r\nline two\r\nline three\r\n");

    Program qw;
    HWND frame = StartOn(qw, file, "typed.c");
    ASSERT_TRUE(frame);
    HWND view = DocumentView(frame);

    // A click gives the view the focus; then a program of keys: to the start
    // of the line, down one, to its end, a new line with a word typed and
    // its last letter taken back, and a character deleted on the next line.
    RECT rc;
    GetClientRect(view, &rc);
    LPARAM at = MAKELPARAM((rc.right * 2) / 3, 2);
    PostMessageA(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(view, WM_LBUTTONUP, 0, at);
    PostKey(view, VK_HOME);
    PostKey(view, VK_DOWN);
    PostKey(view, VK_END);
    PostKey(view, VK_RETURN);
    PostText(view, "addedX");
    PostKey(view, VK_BACK);
    PostKey(view, VK_DOWN);
    PostKey(view, VK_HOME);
    PostKey(view, VK_DELETE);

    // The edit shows in the caption as a changed document.
    std::string unchanged = Caption(frame);
    ASSERT_TRUE(WaitFor(qw.pi.hProcess, 30000, [&] { return Caption(frame) != unchanged; }))
        << "caption stayed " << unchanged;

    // Closing asks whether to save the change: yes.
    PostMessageA(frame, WM_CLOSE, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(qw.pi.hProcess, 30000, [&] {
        box = qwtest::FindProcessWindow(qw.pi.dwProcessId, "#32770");
        return box && IsWindowVisible(box);
    })) << "no question on close";
    PostMessageA(box, WM_COMMAND, IDYES, 0);

    ASSERT_EQ(WaitForSingleObject(qw.pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(qw.pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(qwtest::ReadFileBytes(file), "line one\r\nline two\r\nadded\r\nine three\r\n");
}

// The clipboard commands of the menus in the running program: all of the
// text copied, pasted at its end, and saved by the save command.
TEST(RunningEditor, MenuCopyAndPasteThroughTheClipboardThenSave) {
    qwtest::TempDir dir;
    std::string file = dir.file("twice.c");
    qwtest::WriteFileBytes(file, "int a;\r\nint b;\r\n");

    Program qw;
    HWND frame = StartOn(qw, file, "twice.c");
    ASSERT_TRUE(frame);
    HWND view = DocumentView(frame);
    RECT rc;
    GetClientRect(view, &rc);
    LPARAM at = MAKELPARAM(rc.right / 2, 2);
    PostMessageA(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(view, WM_LBUTTONUP, 0, at);
    // Select all, copy, hide the selection (a selection stays where it is
    // when the caret moves, and a paste would replace it), to the end of the
    // document (the end of its last line), paste, save. The whole text is
    // copied as a stream without the last line's break.
    for (WPARAM id : {471, 455, 474, 387, 457, 322}) PostMessageA(frame, WM_COMMAND, id, 0);
    EXPECT_TRUE(WaitFor(qw.pi.hProcess, 30000, [&] {
        return qwtest::ReadFileBytes(file) == "int a;\r\nint b;int a;\r\nint b;\r\n";
    })) << qwtest::ReadFileBytes(file);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(qw.pi.hProcess, 60000), WAIT_OBJECT_0);
}

// Go to line from the menu asks for the number in its dialog; the caret
// goes there, and what is typed next lands on that line.
TEST(RunningEditor, GoToLineAsksAndMovesTheCaret) {
    qwtest::TempDir dir;
    std::string file = dir.file("lines.c");
    qwtest::WriteFileBytes(file, "one\r\ntwo\r\nthree\r\nfour\r\n");

    Program qw;
    HWND frame = StartOn(qw, file, "lines.c");
    ASSERT_TRUE(frame);
    HWND view = DocumentView(frame);
    PostMessageA(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(view, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PostMessageA(frame, WM_COMMAND, 389, 0);
    HWND dlg = nullptr;
    ASSERT_TRUE(WaitFor(qw.pi.hProcess, 30000, [&] {
        dlg = qwtest::FindProcessWindow(qw.pi.dwProcessId, "#32770");
        return dlg && IsWindowVisible(dlg) && GetDlgItem(dlg, 250);
    })) << "no go-to-line dialog";
    SetWindowTextA(GetDlgItem(dlg, 250), "3");
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
    ASSERT_TRUE(WaitFor(qw.pi.hProcess, 30000, [&] { return !IsWindow(dlg); })) << "the dialog stayed";
    PostText(view, "3:");
    PostMessageA(frame, WM_COMMAND, 322, 0);
    EXPECT_TRUE(WaitFor(qw.pi.hProcess, 30000, [&] {
        return qwtest::ReadFileBytes(file) == "one\r\ntwo\r\n3:three\r\nfour\r\n";
    })) << qwtest::ReadFileBytes(file);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(qw.pi.hProcess, 60000), WAIT_OBJECT_0);
}
