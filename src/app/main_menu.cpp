#include "app/main_menu.h"

#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Widget.H>

#include "app/motion_window.h"
#include "view/motion_view.h"

namespace {

MotionWindow* windowOf(Fl_Widget* menuBar) {
    return static_cast<MotionWindow*>(menuBar->parent());
}

}  // namespace

void openCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->open();
}

void saveCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->save();
}

void quitCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->quit();
}

void undoCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->undo();
}

void redoCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->redo();
}

void resetCameraCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->resetCamera();
}

// The options redraw nothing themselves; toggleOption redraws where the option needs it.
template <int Code>
void toggleOptionCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->view()->toggleOption(Code);
}

// Columns: label, shortcut, callback, user data, flags, then label type, font, size and colour,
// all left at FLTK's defaults.
Fl_Menu_Item mainMenu[] = {
    {"&File", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"&Open", FL_ALT + 'o', openCallback, nullptr, 0, 0, 0, 0, 0},
    {"&Save", FL_ALT + 's', saveCallback, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"&Quit", FL_CTRL + 'q', quitCallback, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Edit", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"&Undo", FL_CTRL + 'z', undoCallback, nullptr, FL_MENU_INACTIVE, 0, 0, 0, 0},
    {"&Redo", FL_CTRL + FL_SHIFT + 'z', redoCallback, nullptr, FL_MENU_INACTIVE, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&UI", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Axes", 0, toggleOptionCallback<OptionAxes>, nullptr, 0, 0, 0, 0, 0},
    {"Plane", 0, toggleOptionCallback<OptionPlane>, nullptr, 0, 0, 0, 0, 0},
    {"Grid", 0, toggleOptionCallback<OptionGrid>, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Bones", 0, toggleOptionCallback<OptionBones>, nullptr, 0, 0, 0, 0, 0},
    {"Shadow", 0, toggleOptionCallback<OptionShadow>, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Path", 0, toggleOptionCallback<OptionPath>, nullptr, 0, 0, 0, 0, 0},
    {"Strobes", 0, toggleOptionCallback<OptionStrobes>, nullptr, 0, 0, 0, 0, 0},
    {"Bounding Box", 0, toggleOptionCallback<OptionBoundingBox>, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Camera", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"&Reset Camera", FL_ALT + 'r', resetCameraCallback, nullptr, 0, 0, 0, 0, 0},
    {"&Track Motion", 0, toggleOptionCallback<OptionTrackMotion>, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Selection", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Linear Falloff", 0, toggleOptionCallback<OptionLinearFalloff>, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

template void toggleOptionCallback<OptionGrid>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionAxes>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionBones>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionPath>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionShadow>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionPlane>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionTrackMotion>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionStrobes>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionBoundingBox>(Fl_Widget*, void*);
template void toggleOptionCallback<OptionLinearFalloff>(Fl_Widget*, void*);

void syncEditMenu(Fl_Menu_Bar* menuBar, bool canUndo, bool canRedo) {
    const std::pair<const char*, bool> items[] = {{"&Edit/&Undo", canUndo},
                                                  {"&Edit/&Redo", canRedo}};
    for (const auto& [path, active] : items) {
        Fl_Menu_Item* item = const_cast<Fl_Menu_Item*>(menuBar->find_item(path));
        if (item == nullptr)
            continue;
        if (active)
            item->activate();
        else
            item->deactivate();
    }
}
