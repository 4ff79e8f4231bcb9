#pragma once

#include <bitset>

// The view's display options. Each is defined once, in kViewOptions: the view's flags start from
// it, and the main menu makes each option's item, its callback and its check mark from it, so a
// new option is a new row (plus whatever draws it).
enum ViewOption : int {
    OptionGrid = 1,
    OptionAxes = 2,
    OptionBones = 3,
    OptionPath = 4,
    OptionShadow = 5,
    OptionPlane = 6,
    OptionTrackMotion = 7,
    OptionStrobes = 9,
    OptionBoundingBox = 10,
    OptionOriginalPath = 11,
    OptionPathSpeed = 12,
};

struct ViewOptionRow {
    ViewOption option;
    const char* menuPath;  // the menu item: submenu and label, as the menu bar finds it
    int shortcut;          // an FLTK shortcut, 0 for none
    bool initially;        // whether a new view starts with it on
    bool dividerAfter;     // a line below the item
    // The menu item the option's item goes before, or null for the end of its submenu.
    const char* before;
};

// In the order of the menus.
inline constexpr ViewOptionRow kViewOptions[] = {
    {OptionAxes, "&UI/Axes", 0, true, false, nullptr},
    {OptionPlane, "&UI/Plane", 0, true, false, nullptr},
    {OptionGrid, "&UI/Grid", 0, true, true, nullptr},
    {OptionBones, "&UI/Bones", 0, true, false, nullptr},
    {OptionShadow, "&UI/Shadow", 0, true, true, nullptr},
    {OptionPath, "&UI/Path", 0, true, false, nullptr},
    {OptionPathSpeed, "&UI/Path Speed", 0, false, false, nullptr},
    {OptionStrobes, "&UI/Strobes", 0, false, false, nullptr},
    {OptionBoundingBox, "&UI/Bounding Box", 0, false, false, nullptr},
    {OptionTrackMotion, "&Camera/&Track Motion", 0, false, false, nullptr},
    // The captured track and, with the figure, a ghost of it as captured: before and after.
    {OptionOriginalPath, "&UI/Original Path", 0, false, false, "&UI/Strobes"},
};

// The row of option n, or null for a number that is no option.
const ViewOptionRow* viewOptionRow(int n);

// One flag per option, each starting as its row says.
class ViewOptions {
  public:
    ViewOptions();
    // False for numbers that are no option.
    bool on(int n) const;
    // Numbers that are no option are ignored.
    void set(int n, bool on);

  private:
    std::bitset<32> flags_;  // by option number
};
