#include "app/main_menu.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Widget.H>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/motion_window.h"
#include "view/motion_view.h"

namespace {

const std::vector<std::pair<const char*, int>> kToggleItems = {
    {"&UI/Axes", OptionAxes},
    {"&UI/Plane", OptionPlane},
    {"&UI/Grid", OptionGrid},
    {"&UI/Bones", OptionBones},
    {"&UI/Shadow", OptionShadow},
    {"&UI/Path", OptionPath},
    {"&UI/Path Speed", OptionPathSpeed},
    {"&UI/Strobes", OptionStrobes},
    {"&UI/Bounding Box", OptionBoundingBox},
    {"&Camera/&Track Motion", OptionTrackMotion},
    {"&UI/Original Path", OptionOriginalPath},
};

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
    const std::vector<int> codes = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12};
    for (const auto& [path, code] : kToggleItems) {
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
    // An option placed before another item stands there.
    EXPECT_EQ(menuBar->find_index("&UI/Original Path") + 1, menuBar->find_index("&UI/Strobes"));
}

// Every on/off item shows a check mark that matches its option: at start, after it is chosen,
// and after Reset Camera, a load or the view itself changed the option.
TEST(MainMenu, CheckMarksMatchTheViewAfterEveryCommand) {
    MotionWindow window;
    auto* menuBar = static_cast<Fl_Menu_Bar*>(window.child(1));
    auto expectMarksMatch = [&](const char* when) {
        for (const auto& [path, code] : kToggleItems) {
            const Fl_Menu_Item* item = menuBar->find_item(path);
            ASSERT_NE(item, nullptr) << path;
            EXPECT_TRUE(item->checkbox()) << path;
            EXPECT_EQ(item->value() != 0, window.view()->option(code)) << path << " " << when;
        }
    };
    // Any key the menu does not know still brings the marks up to date.
    auto useMenu = [&] {
        Fl::e_keysym = 'x';
        Fl::e_state = 0;
        Fl::e_text = const_cast<char*>("x");
        Fl::e_length = 1;
        return menuBar->handle(FL_SHORTCUT);
    };
    expectMarksMatch("at start");
    for (const auto& [path, code] : kToggleItems) {
        menuBar->picked(menuBar->find_item(path));
        expectMarksMatch(path);
    }
    ASSERT_TRUE(window.view()->option(OptionTrackMotion));
    menuBar->picked(menuBar->find_item("&Camera/&Reset Camera"));
    EXPECT_FALSE(window.view()->option(OptionTrackMotion));
    useMenu();
    expectMarksMatch("after Reset Camera");

    window.view()->toggleOption(OptionTrackMotion);
    window.view()->toggleOption(OptionGrid);
    ASSERT_EQ(window.openPath(std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"), 1);
    EXPECT_EQ(useMenu(), 0);
    expectMarksMatch("after a load");
    EXPECT_FALSE(menuBar->find_item("&Camera/&Track Motion")->value());

    // Each window has marks of its own.
    MotionWindow other;
    auto* otherBar = static_cast<Fl_Menu_Bar*>(other.child(1));
    EXPECT_TRUE(otherBar->find_item("&UI/Axes")->value());
    EXPECT_FALSE(menuBar->find_item("&UI/Axes")->value());
}

// The fitted views have their shortcuts beside them, and the shortcuts reach them while the
// 3D view has the keyboard.
TEST(MainMenu, PresetShortcutsLookFromTheirSide) {
    MotionWindow window;
    auto* menuBar = static_cast<Fl_Menu_Bar*>(window.child(1));
    ASSERT_EQ(window.openPath(std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"), 1);
    window.show();
    Fl::focus(window.view());
    window.view()->toggleOption(OptionTrackMotion);
    struct Preset {
        const char* path;
        char key;
        int axis;  // the axis the eye sits on, seen from the target
    };
    for (const Preset& p :
         {Preset{"&Camera/Top View", '1', 1}, Preset{"&Camera/Front View", '2', 2},
          Preset{"&Camera/Side View", '3', 0}}) {
        SCOPED_TRACE(p.path);
        const Fl_Menu_Item* item = menuBar->find_item(p.path);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->shortcut(), FL_ALT + p.key);
        static char text[2];
        text[0] = p.key;
        Fl::e_keysym = p.key;
        Fl::e_state = FL_ALT;
        Fl::e_text = text;
        Fl::e_length = 1;
        EXPECT_EQ(Fl::handle(FL_KEYBOARD, &window), 1);
        const Camera& c = window.view()->camera();
        for (int i = 0; i < 3; ++i) {
            if (i == p.axis)
                EXPECT_GT(c.eye[i] - c.target[i], 1.0);
            else
                EXPECT_NEAR(c.eye[i], c.target[i], 1e-9);
        }
        EXPECT_TRUE(window.view()->option(OptionTrackMotion)) << "the preset keeps tracking";
    }
    window.hide();
}

// Falloff and Path Detail are radio choices whose marks follow the document, found by the choice
// each item stands for; Turn and Every N Seconds ask for their numbers, and a new detail asks
// before it drops the path's edits.
TEST(MainMenu, PathToolChoicesMarkWhatTheDocumentHolds) {
    MotionWindow window;
    auto* menuBar = static_cast<MainMenuBar*>(window.child(1));
    ASSERT_EQ(window.openPath(std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"), 1);
    const auto marked = [&](const char* path) { return menuBar->find_item(path)->value() != 0; };
    menuBar->picked(menuBar->find_item("&Selection/Falloff/Smooth"));
    EXPECT_EQ(window.document().falloff(), FalloffShape::Smooth);
    EXPECT_TRUE(marked("&Selection/Falloff/Smooth"));
    EXPECT_FALSE(marked("&Selection/Falloff/Off"));

    std::vector<double> answer{2.0};
    window.askValues = [&](const std::string&, const std::vector<std::string>&,
                           const std::vector<double>&) { return std::optional(answer); };
    menuBar->picked(menuBar->find_item("&Selection/Path Detail/Every N Seconds..."));
    EXPECT_EQ(window.document().pathDetail(), 60) << "two seconds at 30 fps";
    EXPECT_TRUE(marked("&Selection/Path Detail/Every N Seconds..."));
    menuBar->picked(menuBar->find_item("&Selection/Path Detail/Every 50 Frames"));
    EXPECT_FALSE(marked("&Selection/Path Detail/Every N Seconds..."));

    answer = {90.0};
    menuBar->picked(menuBar->find_item("&Transform/Turn..."));
    EXPECT_NEAR(window.document().edit()->wholeTurn(), std::acos(-1.0) / 2.0, 1e-12);
    bool asked = false;
    window.confirmDropEdits = [&] { return !(asked = true); };
    menuBar->picked(menuBar->find_item("&Selection/Path Detail/Every 100 Frames"));
    EXPECT_TRUE(asked);
    EXPECT_EQ(window.document().pathDetail(), 50) << "the answer kept the edits";
    EXPECT_TRUE(marked("&Selection/Path Detail/Every 50 Frames"));
}

}  // namespace
