// Tests the tab layer: labels and tips, the current tab, the leave veto and
// the became-current notice (by call and by the control's own notifications),
// rows and the page area.
#include "tabs/qwtabs.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Listener : QwTabsListener {
    bool allow = true;
    std::vector<int> left, current;
    bool OnTabLeave(int tab) override {
        left.push_back(tab);
        return allow;
    }
    void OnTabCurrent(int tab) override { current.push_back(tab); }
};

class Tabs : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
        InitCommonControlsEx(&icc);
        parent_ = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        HWND tc = CreateWindowA(WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | TCS_TOOLTIPS, 0, 0, 400, 300, parent_,
                                reinterpret_cast<HMENU>(299), nullptr, nullptr);
        ASSERT_TRUE(tabs_.Attach(tc, &listener_));
    }
    void TearDown() override { DestroyWindow(parent_); }
    HWND parent_ = nullptr;
    QwTabs tabs_;
    Listener listener_;
};

TEST_F(Tabs, LabelsTipsAndSelection) {
    EXPECT_EQ(tabs_.AddTab("Find\tSearch the file"), 0);
    EXPECT_EQ(tabs_.AddTab("Replace"), 1);
    EXPECT_EQ(tabs_.AddTab("In Files\tMany files\twith a tab"), 2);
    EXPECT_EQ(tabs_.Count(), 3);
    EXPECT_EQ(tabs_.Label(0), "Find");
    EXPECT_EQ(tabs_.Tip(0), "Search the file");
    EXPECT_EQ(tabs_.Tip(1), "");
    EXPECT_EQ(tabs_.Tip(2), "Many files\twith a tab");
    EXPECT_EQ(tabs_.Label(7), "");
    char text[32] = "";
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs_.hwnd(), TCM_GETITEMA, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, "In Files");

    EXPECT_EQ(tabs_.Current(), 0);
    EXPECT_TRUE(tabs_.Select(2));
    EXPECT_EQ(listener_.left, std::vector<int>{0});
    EXPECT_EQ(listener_.current, std::vector<int>{2});
    listener_.allow = false;
    EXPECT_FALSE(tabs_.Select(1));  // the page keeps the focus
    EXPECT_EQ(tabs_.Current(), 2);
    EXPECT_EQ(listener_.current.size(), 1u);
    EXPECT_FALSE(tabs_.Select(9));

    // The control's own notifications reach the listener the same way.
    NMHDR nm{tabs_.hwnd(), 299, static_cast<UINT>(TCN_SELCHANGING)};
    LRESULT r = 0;
    EXPECT_TRUE(tabs_.HandleNotify(&nm, &r));
    EXPECT_EQ(r, TRUE);  // refused
    listener_.allow = true;
    EXPECT_TRUE(tabs_.HandleNotify(&nm, &r));
    EXPECT_EQ(r, FALSE);
    nm.code = static_cast<UINT>(TCN_SELCHANGE);
    EXPECT_TRUE(tabs_.HandleNotify(&nm, &r));
    EXPECT_EQ(listener_.current.back(), 2);
    NMHDR other{parent_, 1, static_cast<UINT>(TCN_SELCHANGE)};
    EXPECT_FALSE(tabs_.HandleNotify(&other, &r));

    HWND tips = reinterpret_cast<HWND>(SendMessageA(tabs_.hwnd(), TCM_GETTOOLTIPS, 0, 0));
    if (tips) {
        NMTTDISPINFOA di{};
        di.hdr = {tips, 0, static_cast<UINT>(TTN_GETDISPINFOA)};
        EXPECT_TRUE(tabs_.HandleNotify(&di.hdr, &r));
        EXPECT_STREQ(di.lpszText, "Search the file");
    }
}

TEST_F(Tabs, RowsRedrawAndPageArea) {
    for (int i = 0; i < 6; ++i) tabs_.AddTab("A rather long tab label " + std::to_string(i));
    EXPECT_EQ(tabs_.Rows(), 1);
    tabs_.SetMultiRow(true);
    tabs_.SetRedraw(false);
    tabs_.Layout(RECT{0, 0, 300, 280});
    tabs_.SetRedraw(true);
    EXPECT_GT(tabs_.Rows(), 1);
    RECT page = tabs_.PageArea();
    EXPECT_GT(page.top, 0);  // below the rows of tabs
    EXPECT_LT(page.right, 300);
    EXPECT_GT(page.top, 20);  // two rows at least
    EXPECT_GT(page.bottom - page.top, 0);
    tabs_.SetLabel(0, "Short");
    EXPECT_EQ(tabs_.Label(0), "Short");
}

} // namespace
