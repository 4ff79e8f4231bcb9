#include "app/main_menu.h"

#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Widget.H>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/motion_window.h"
#include "view/motion_view.h"

namespace {

struct ExpectedItem {
    const char* label;  // null: end of a submenu or of the menu
    int shortcut;
    int flags;
    Fl_Callback* callback;
};

// The menu as the user sees it; option items name the view option their callback passes.
const std::vector<ExpectedItem> expectedMenu = {
    {"&File", 0, FL_SUBMENU, nullptr},
    {"&Open", 0x8006f, 0, openCallback},
    {"&Save", 0x80073, 0, saveCallback},
    {nullptr, 0, 0, nullptr},
    {"&UI", 0, FL_SUBMENU, nullptr},
    {"Axes", 0, 0, toggleOptionCallback<2>},
    {"Plane", 0, 0, toggleOptionCallback<6>},
    {"Grid", 0, FL_MENU_DIVIDER, toggleOptionCallback<1>},
    {"Bones", 0, 0, toggleOptionCallback<3>},
    {"Shadow", 0, FL_MENU_DIVIDER, toggleOptionCallback<5>},
    {"Path", 0, 0, toggleOptionCallback<4>},
    {"Strobes", 0, 0, toggleOptionCallback<9>},
    {"Bounding Box", 0, 0, toggleOptionCallback<10>},
    {nullptr, 0, 0, nullptr},
    {"&Camera", 0, FL_SUBMENU, nullptr},
    {"&Reset Camera", 0x80072, 0, resetCameraCallback},
    {"&Track Motion", 0, 0, toggleOptionCallback<7>},
    {nullptr, 0, 0, nullptr},
    {"&Selection", 0, FL_SUBMENU, nullptr},
    {"Linear Falloff", 0, 0, toggleOptionCallback<11>},
    {nullptr, 0, 0, nullptr},
    {nullptr, 0, 0, nullptr},
};

TEST(MainMenu, TableHasTheLabelsShortcutsFlagsAndActionsInOrder) {
    for (std::size_t i = 0; i < expectedMenu.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        const Fl_Menu_Item& item = mainMenu[i];
        const ExpectedItem& want = expectedMenu[i];
        if (want.label == nullptr) {
            EXPECT_EQ(item.text, nullptr);
        } else {
            ASSERT_NE(item.text, nullptr);
            EXPECT_STREQ(item.text, want.label);
        }
        EXPECT_EQ(item.shortcut_, want.shortcut);
        EXPECT_EQ(item.flags, want.flags);
        EXPECT_EQ(item.callback_, want.callback);
        // No check marks, no per-item data, and FLTK's default label look.
        EXPECT_EQ(item.user_data_, nullptr);
        EXPECT_EQ(item.labeltype_, 0);
        EXPECT_EQ(item.labelfont_, 0);
        EXPECT_EQ(item.labelsize_, 0);
        EXPECT_EQ(item.labelcolor_, 0u);
    }
}

// Each option item, chosen from the window's menu bar, flips exactly its own view option.
TEST(MainMenu, OptionItemsToggleTheirOwnViewOption) {
    MotionWindow window;
    auto* menuBar = static_cast<Fl_Menu_Bar*>(window.child(1));
    const std::vector<std::pair<const char*, int>> items = {
        {"&UI/Axes", 2},
        {"&UI/Plane", 6},
        {"&UI/Grid", 1},
        {"&UI/Bones", 3},
        {"&UI/Shadow", 5},
        {"&UI/Path", 4},
        {"&UI/Strobes", 9},
        {"&UI/Bounding Box", 10},
        {"&Camera/&Track Motion", 7},
        {"&Selection/Linear Falloff", 11},
    };
    const std::vector<int> codes = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11};
    for (const auto& [path, code] : items) {
        SCOPED_TRACE(path);
        const Fl_Menu_Item* item = menuBar->find_item(path);
        ASSERT_NE(item, nullptr);
        std::vector<bool> before;
        for (int c : codes) {
            before.push_back(window.view()->option(c));
        }
        menuBar->picked(item);
        for (std::size_t k = 0; k < codes.size(); ++k) {
            EXPECT_EQ(window.view()->option(codes[k]), codes[k] == code ? !before[k] : before[k])
                << "option " << codes[k];
        }
    }
}

}  // namespace
