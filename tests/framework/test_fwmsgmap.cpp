// Run-time classes and message maps: lookup through base maps, user and
// registered messages, command ids and ranges, declining handlers, the
// update guard on commands, notifications and their reflection to the
// control, the idle update of dialog controls, and the pre-translation walk.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <stdexcept>

#include "framework/fwmsgbox.h"
#include "framework/fwobject.h"
#include "framework/fwwnd.h"
#include "opsys/msgbox_backend.h"
#include "tests/support/win_test.h"

namespace {

// ---- run-time classes ----

class Shape : public fw::Object {
    FW_DECLARE_DYNAMIC(Shape)
};
FW_IMPLEMENT_DYNAMIC(Shape, fw::Object)

class Circle : public Shape {
    FW_DECLARE_DYNCREATE(Circle)
public:
    int radius = 3;
};
FW_IMPLEMENT_DYNCREATE(Circle, Shape)

TEST(FwObject, ClassRecordsKnowTheirKindAndCreateByClass) {
    Circle c;
    fw::Object* o = &c;
    EXPECT_STREQ(o->GetRuntimeClass()->name(), "Circle");
    EXPECT_TRUE(o->IsKindOf(FW_RUNTIME_CLASS(Shape)));
    EXPECT_TRUE(o->IsKindOf(FW_RUNTIME_CLASS(fw::Object)));
    EXPECT_FALSE(o->IsKindOf(FW_RUNTIME_CLASS(fw::Window)));
    EXPECT_EQ(fw::DynamicDowncast<Shape>(o), &c);
    EXPECT_EQ(fw::DynamicDowncast<fw::Window>(o), nullptr);

    const fw::RuntimeClass* found = fw::RuntimeClass::FromName("Circle");
    ASSERT_EQ(found, FW_RUNTIME_CLASS(Circle));
    fw::Object* made = found->CreateObject();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetRuntimeClass(), FW_RUNTIME_CLASS(Circle));
    EXPECT_EQ(fw::DynamicDowncast<Circle>(made)->radius, 3);
    delete made;
    EXPECT_EQ(FW_RUNTIME_CLASS(Shape)->CreateObject(), nullptr) << "not creatable by class";
    EXPECT_EQ(fw::RuntimeClass::FromName("NoSuchClass"), nullptr);
}

// ---- message maps ----

constexpr UINT kUserMsg = 0x464;
constexpr UINT kIdCopy = 401, kIdPaste = 402, kIdRangeFirst = 500, kIdRangeLast = 509;
constexpr UINT kIdDeclined = 410, kIdFromBase = 420, kIdNoHandler = 430;
constexpr UINT kIdList = 1001, kIdPlain = 1002;
UINT g_registered = RegisterWindowMessageA("QWFrameworkTest.Registered");

class BaseWindow : public fw::Window {
    FW_DECLARE_MESSAGE_MAP()
public:
    std::vector<std::string> log;

protected:
    void OnFromBase() { log.push_back("base"); }
    void OnDeclinedInBase() { log.push_back("declined reached base"); }
};
FW_BEGIN_MESSAGE_MAP(BaseWindow, fw::Window)
    FW_ON_COMMAND(kIdFromBase, OnFromBase)
    FW_ON_COMMAND(kIdDeclined, OnDeclinedInBase)
FW_END_MESSAGE_MAP()

class MapWindow : public BaseWindow {
    FW_DECLARE_MESSAGE_MAP()
public:
    bool paste_enabled = false;

private:
    LRESULT OnUser(WPARAM wp, LPARAM lp) { log.push_back("user"); return static_cast<LRESULT>(wp + lp); }
    LRESULT OnRegistered(WPARAM, LPARAM) { log.push_back("registered"); return 7; }
    void OnCopy() { log.push_back("copy"); }
    void OnPaste() { log.push_back("paste"); }
    void OnUpdatePaste(fw::CommandUI* ui) { ui->Enable(paste_enabled); }
    void OnRange(UINT id) { log.push_back("range " + std::to_string(id)); }
    bool OnDeclined(UINT) { log.push_back("declined"); return false; }
    void OnListClick(UINT id, NMHDR* nm, LRESULT* r) {
        log.push_back("notify " + std::to_string(id) + " " + std::to_string(nm->idFrom));
        *r = 5;
    }
};
FW_BEGIN_MESSAGE_MAP(MapWindow, BaseWindow)
    FW_ON_MESSAGE(kUserMsg, OnUser)
    FW_ON_REGISTERED_MESSAGE(g_registered, OnRegistered)
    FW_ON_COMMAND(kIdCopy, OnCopy)
    FW_ON_COMMAND(kIdPaste, OnPaste)
    FW_ON_UPDATE_COMMAND_UI(kIdPaste, OnUpdatePaste)
    FW_ON_COMMAND_RANGE(kIdRangeFirst, kIdRangeLast, OnRange)
    FW_ON_COMMAND_EX(kIdDeclined, OnDeclined)
    FW_ON_NOTIFY_RANGE(NM_CLICK, kIdList, kIdPlain, OnListClick)
FW_END_MESSAGE_MAP()

// A control that takes its own notifications back from the parent.
class ReflectingControl : public fw::Window {
    FW_DECLARE_MESSAGE_MAP()
public:
    std::vector<std::string> log;

private:
    void OnClick(NMHDR*, LRESULT* r) { log.push_back("reflected click"); *r = 9; }
    void OnChange() { log.push_back("reflected change"); }
    LRESULT OnDraw(WPARAM, LPARAM) { log.push_back("reflected draw"); return TRUE; }
};
FW_BEGIN_MESSAGE_MAP(ReflectingControl, fw::Window)
    FW_ON_NOTIFY_REFLECT(NM_CLICK, OnClick)
    FW_ON_CONTROL_REFLECT(EN_CHANGE, OnChange)
    FW_ON_MESSAGE_REFLECT(WM_DRAWITEM, OnDraw)
FW_END_MESSAGE_MAP()

const char kClass[] = "QWTestMapWindow";

class FwMessageMap : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fw::Window::RegisterClass(kClass));
        ASSERT_TRUE(w.Create(kClass, "map", WS_POPUP, 0, 0, 0, 200, 100, HWND_MESSAGE));
    }
    void TearDown() override { w.DestroyWindow(); }
    HWND Child(const char* cls, UINT id, DWORD style = 0) {
        return CreateWindowExA(0, cls, "c", WS_CHILD | style, 0, 0, 20, 20, w.hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleA(nullptr), nullptr);
    }
    MapWindow w;
};

TEST_F(FwMessageMap, MessagesAndCommandsFindTheirHandlers) {
    EXPECT_EQ(w.Send(kUserMsg, 2, 3), 5);
    EXPECT_EQ(w.Send(g_registered), 7);
    struct Case {
        UINT id;
        std::vector<std::string> log;
    } cases[] = {
        {kIdCopy, {"copy"}},
        {kIdRangeFirst, {"range 500"}},
        {kIdRangeLast, {"range 509"}},
        {kIdFromBase, {"base"}},
        {kIdDeclined, {"declined", "declined reached base"}},
        {kIdNoHandler, {}},
    };
    for (const Case& c : cases) {
        w.log.clear();
        w.Send(WM_COMMAND, MAKEWPARAM(c.id, 0), 0);
        EXPECT_EQ(w.log, c.log) << c.id;
    }
    // Accelerators (code 1) are commands too.
    w.log.clear();
    w.Send(WM_COMMAND, MAKEWPARAM(kIdCopy, 1), 0);
    EXPECT_EQ(w.log, std::vector<std::string>{"copy"});
}

TEST_F(FwMessageMap, CommandDisabledByItsUpdateHandlerDoesNotRun) {
    w.paste_enabled = false;
    w.Send(WM_COMMAND, MAKEWPARAM(kIdPaste, 1), 0);
    EXPECT_TRUE(w.log.empty());
    w.paste_enabled = true;
    w.Send(WM_COMMAND, MAKEWPARAM(kIdPaste, 0), 0);
    EXPECT_EQ(w.log, std::vector<std::string>{"paste"});
}

TEST_F(FwMessageMap, NotificationsReflectToTheControlThatSentThem) {
    HWND plain = Child("STATIC", kIdPlain);
    HWND reflecting = Child("STATIC", kIdList);
    ASSERT_TRUE(plain && reflecting);
    ReflectingControl control;
    ASSERT_TRUE(control.SubclassWindow(reflecting));

    NMHDR nm{plain, kIdPlain, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(w.Send(WM_NOTIFY, kIdPlain, reinterpret_cast<LPARAM>(&nm)), 5);
    EXPECT_EQ(w.log, std::vector<std::string>{"notify 1002 1002"});

    w.log.clear();
    NMHDR nm2{reflecting, kIdList, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(w.Send(WM_NOTIFY, kIdList, reinterpret_cast<LPARAM>(&nm2)), 9);
    w.Send(WM_COMMAND, MAKEWPARAM(kIdList, EN_CHANGE), reinterpret_cast<LPARAM>(reflecting));
    DRAWITEMSTRUCT dis{};
    dis.CtlID = kIdList;
    dis.hwndItem = reflecting;
    EXPECT_EQ(w.Send(WM_DRAWITEM, kIdList, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_TRUE(w.log.empty()) << "the parent saw a reflected message";
    EXPECT_EQ(control.log, (std::vector<std::string>{"reflected click", "reflected change", "reflected draw"}));
}

TEST_F(FwMessageMap, IdleUpdateEnablesControlsFromTheHandlers) {
    HWND copy = Child("BUTTON", kIdCopy, BS_PUSHBUTTON);
    HWND paste = Child("BUTTON", kIdPaste, BS_PUSHBUTTON);
    HWND orphan = Child("BUTTON", kIdNoHandler, BS_PUSHBUTTON);
    HWND edit = Child("EDIT", kIdNoHandler + 1);
    ASSERT_TRUE(copy && paste && orphan && edit);
    w.paste_enabled = false;
    w.UpdateDialogControls(&w, true);
    EXPECT_TRUE(IsWindowEnabled(copy)) << "a handler and no update handler";
    EXPECT_FALSE(IsWindowEnabled(paste)) << "its update handler disabled it";
    EXPECT_FALSE(IsWindowEnabled(orphan)) << "a button without a handler";
    EXPECT_TRUE(IsWindowEnabled(edit)) << "only buttons are disabled for lack of a handler";
    w.paste_enabled = true;
    w.UpdateDialogControls(&w, true);
    EXPECT_TRUE(IsWindowEnabled(paste));
}

TEST(FwWindowProc, AHandlerThatThrowsIsReportedAndTheMessageFails) {
    struct Throwing : fw::Window {
        LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
            if (msg == kUserMsg) throw std::runtime_error("the handler failed");
            return fw::Window::WindowProc(msg, wp, lp);
        }
    } w;
    ASSERT_TRUE(fw::Window::RegisterClass(kClass));
    ASSERT_TRUE(w.Create(kClass, "t", WS_POPUP, 0, 0, 0, 10, 10, HWND_MESSAGE));
    auto previous = fw::SetMessageBoxHandler(&QwPlatformMessageBox);
    {
        qwtest::MessageBoxRecorder rec;
        EXPECT_EQ(w.Send(kUserMsg), 0);
        ASSERT_EQ(rec.boxes().size(), 1u);
        EXPECT_EQ(rec.boxes()[0].text, "the handler failed");
    }
    fw::SetMessageBoxHandler(previous);
    EXPECT_TRUE(IsWindow(w.hwnd())) << "the window lives on";
    w.DestroyWindow();
}

TEST_F(FwMessageMap, PreTranslationWalksFromTheTargetUpToTheStopWindow) {
    struct Recorder : fw::Window {
        std::vector<std::string>* order;
        std::string name;
        bool eat = false;
        bool PreTranslateMessage(MSG*) override {
            order->push_back(name);
            return eat;
        }
    };
    std::vector<std::string> order;
    Recorder mid, leaf;
    mid.order = leaf.order = &order;
    mid.name = "mid";
    leaf.name = "leaf";
    HWND mid_h = Child("STATIC", 1);
    HWND leaf_h = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, mid_h, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(mid.SubclassWindow(mid_h) && leaf.SubclassWindow(leaf_h));
    struct Top : fw::Window {};
    MSG msg{};
    msg.hwnd = leaf_h;
    msg.message = WM_KEYDOWN;
    EXPECT_FALSE(fw::Window::WalkPreTranslateTree(mid_h, &msg));
    EXPECT_EQ(order, (std::vector<std::string>{"leaf", "mid"})) << "stops at the stop window";
    order.clear();
    leaf.eat = true;
    EXPECT_TRUE(fw::Window::WalkPreTranslateTree(w.hwnd(), &msg));
    EXPECT_EQ(order, std::vector<std::string>{"leaf"});
}

} // namespace
