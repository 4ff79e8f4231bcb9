#include "app/main_menu.h"

#include <FL/Fl_Widget.H>

#include "app/motion_window.h"
#include "view/motion_view.h"

namespace {

MotionWindow* windowOf(Fl_Widget* menuBar) {
    return static_cast<MotionWindow*>(menuBar->parent());
}

}  // namespace

void openCallback(Fl_Widget* menuBar, void*) { windowOf(menuBar)->open(); }

void saveCallback(Fl_Widget* menuBar, void*) { windowOf(menuBar)->save(); }

void resetCameraCallback(Fl_Widget* menuBar, void*) { windowOf(menuBar)->resetCamera(); }

// The options redraw nothing themselves; toggleOption redraws where the option needs it.
template <int Code>
void toggleOptionCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->view()->toggleOption(Code);
}

// Columns: label, shortcut, callback, user data, flags.
Fl_Menu_Item mainMenu[] = {
    {"&File", 0, nullptr, nullptr, FL_SUBMENU},
    {"&Open", FL_ALT + 'o', openCallback, nullptr, 0},
    {"&Save", FL_ALT + 's', saveCallback, nullptr, 0},
    {nullptr},
    {"&UI", 0, nullptr, nullptr, FL_SUBMENU},
    {"Axes", 0, toggleOptionCallback<AxesOption>, nullptr, 0},
    {"Plane", 0, toggleOptionCallback<PlaneOption>, nullptr, 0},
    {"Grid", 0, toggleOptionCallback<GridOption>, nullptr, FL_MENU_DIVIDER},
    {"Bones", 0, toggleOptionCallback<BonesOption>, nullptr, 0},
    {"Shadow", 0, toggleOptionCallback<ShadowOption>, nullptr, FL_MENU_DIVIDER},
    {"Path", 0, toggleOptionCallback<PathOption>, nullptr, 0},
    {"Strobes", 0, toggleOptionCallback<StrobesOption>, nullptr, 0},
    {"Bounding Box", 0, toggleOptionCallback<BoundingBoxOption>, nullptr, 0},
    {nullptr},
    {"&Camera", 0, nullptr, nullptr, FL_SUBMENU},
    {"&Reset Camera", FL_ALT + 'r', resetCameraCallback, nullptr, 0},
    {"&Track Motion", 0, toggleOptionCallback<TrackMotionOption>, nullptr, 0},
    {nullptr},
    {"&Selection", 0, nullptr, nullptr, FL_SUBMENU},
    {"Linear Falloff", 0, toggleOptionCallback<LinearFalloffOption>, nullptr, 0},
    {nullptr},
    {nullptr},
};

template void toggleOptionCallback<GridOption>(Fl_Widget*, void*);
template void toggleOptionCallback<AxesOption>(Fl_Widget*, void*);
template void toggleOptionCallback<BonesOption>(Fl_Widget*, void*);
template void toggleOptionCallback<PathOption>(Fl_Widget*, void*);
template void toggleOptionCallback<ShadowOption>(Fl_Widget*, void*);
template void toggleOptionCallback<PlaneOption>(Fl_Widget*, void*);
template void toggleOptionCallback<TrackMotionOption>(Fl_Widget*, void*);
template void toggleOptionCallback<StrobesOption>(Fl_Widget*, void*);
template void toggleOptionCallback<BoundingBoxOption>(Fl_Widget*, void*);
template void toggleOptionCallback<LinearFalloffOption>(Fl_Widget*, void*);
