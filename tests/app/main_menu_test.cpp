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

// The items a user finds by their labels, with the shortcuts the menu shows; picking the
// commands runs them on the window.
TEST(MainMenu, CommandsAreFoundByTheirLabelsWithTheirShortcuts) {
    MotionWindow window;
    auto* menuBar = static_cast<Fl_Menu_Bar*>(window.child(1));
    const std::vector<std::pair<const char*, int>> commands = {
        {"&File/&Open", FL_ALT + 'o'},
        {"&File/&Save", FL_ALT + 's'},
        {"&File/&Quit", FL_CTRL + 'q'},
        {"&Edit/&Undo", FL_CTRL + 'z'},
        {"&Edit/&Redo", FL_CTRL + FL_SHIFT + 'z'},
        {"&Camera/&Reset Camera", FL_ALT + 'r'},
    };
    for (const auto& [path, shortcut] : commands) {
        const Fl_Menu_Item* item = menuBar->find_item(path);
        ASSERT_NE(item, nullptr) << path;
        EXPECT_EQ(item->shortcut(), shortcut) << path;
    }
    // Nothing to undo or redo in a new window.
    EXPECT_FALSE(menuBar->find_item("&Edit/&Undo")->active());
    EXPECT_FALSE(menuBar->find_item("&Edit/&Redo")->active());
    window.show();
    menuBar->picked(menuBar->find_item("&File/&Quit"));
    EXPECT_FALSE(window.shown()) << "nothing unsaved: Quit closes at once";
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
