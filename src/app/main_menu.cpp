#include "app/main_menu.h"

#include <FL/Fl_Widget.H>

#include <cstdint>
#include <cstring>
#include <utility>

#include "app/motion_window.h"
#include "view/motion_view.h"
#include "view/view_options.h"

namespace {

MotionWindow* windowOf(Fl_Widget* menuBar) {
    return static_cast<MotionWindow*>(menuBar->parent());
}

void* shapeData(FalloffShape shape) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(shape));
}

}  // namespace

void openCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->open();
}

void saveCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->save();
}

void exportGltfCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->exportGltf();
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

void keepFeetPlantedCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->toggleFeetPlanted();
}

void keepSpeedCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->toggleKeepSpeed();
}

void chooseFeetCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->chooseFeet();
}

template <UpAxis Axis>
void upAxisCallback(Fl_Widget* menuBar, void*) {
    LoadOptions reading = windowOf(menuBar)->currentReading();
    reading.upAxis = Axis;
    windowOf(menuBar)->readAs(reading);
}

template <PositionChannels Reading>
void positionChannelsCallback(Fl_Widget* menuBar, void*) {
    LoadOptions reading = windowOf(menuBar)->currentReading();
    reading.positionChannels = Reading;
    windowOf(menuBar)->readAs(reading);
}

void resetCameraCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->resetCamera();
}

// The options redraw nothing themselves; toggleOption redraws where the option needs it.
void toggleOptionCallback(Fl_Widget* menuBar, void* option) {
    windowOf(menuBar)->view()->toggleOption(
        static_cast<int>(reinterpret_cast<std::intptr_t>(option)));
}

template <CameraPreset Preset>
void cameraPresetCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->view()->viewFromPreset(Preset);
}

void frameSelectionCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->frameSelection();
}

void selectAllCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->selectAll();
}

void selectNoneCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->selectNone();
}

void falloffCallback(Fl_Widget* menuBar, void* shape) {
    windowOf(menuBar)->setFalloff(
        static_cast<FalloffShape>(reinterpret_cast<std::intptr_t>(shape)));
}

void pathDetailCallback(Fl_Widget* menuBar, void* frames) {
    windowOf(menuBar)->setPathDetail(static_cast<int>(reinterpret_cast<std::intptr_t>(frames)));
}

void pathDetailSecondsCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->askPathDetailSeconds();
}

template <GroundTransform::Kind Kind>
void transformCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->transformSelection(Kind);
}

void pointPositionCallback(Fl_Widget* menuBar, void*) {
    windowOf(menuBar)->editPointPosition();
}

void syncPathToolMarks(Fl_Menu_& menu, FalloffShape shape, int detail) {
    const Fl_Menu_Item* items = menu.menu();
    if (items == nullptr)
        return;
    bool detailHasItem = false;
    for (int i = 0; i < menu.size(); ++i) {
        if (items[i].callback_ == pathDetailCallback)
            detailHasItem = detailHasItem || reinterpret_cast<std::intptr_t>(items[i].user_data_) ==
                                                 static_cast<std::intptr_t>(detail);
    }
    for (int i = 0; i < menu.size(); ++i) {
        const std::intptr_t data = reinterpret_cast<std::intptr_t>(items[i].user_data_);
        bool on = false;
        if (items[i].callback_ == falloffCallback)
            on = data == static_cast<std::intptr_t>(shape);
        else if (items[i].callback_ == pathDetailCallback)
            on = data == static_cast<std::intptr_t>(detail);
        else if (items[i].callback_ == pathDetailSecondsCallback)
            on = !detailHasItem;
        else
            continue;
        const int flags = items[i].flags & ~FL_MENU_VALUE;
        menu.mode(i, on ? flags | FL_MENU_VALUE : flags);
    }
}

void syncOptionMarks(Fl_Menu_& menu, const MotionView& view) {
    const Fl_Menu_Item* items = menu.menu();
    if (items == nullptr)
        return;
    for (int i = 0; i < menu.size(); ++i) {
        if (items[i].callback_ != toggleOptionCallback)
            continue;
        const int option = static_cast<int>(reinterpret_cast<std::intptr_t>(items[i].user_data_));
        const int flags = items[i].flags & ~FL_MENU_VALUE;
        menu.mode(i, view.option(option) ? flags | FL_MENU_VALUE : flags);
    }
}

MainMenuBar::MainMenuBar(int x, int y, int w, int h) : Fl_Menu_Bar(x, y, w, h) {
    copy(mainMenu);
    for (const ViewOptionRow& row : kViewOptions) {
        const int flags = FL_MENU_TOGGLE | (row.initially ? FL_MENU_VALUE : 0) |
                          (row.dividerAfter ? FL_MENU_DIVIDER : 0);
        void* option = reinterpret_cast<void*>(static_cast<std::intptr_t>(row.option));
        const int before = row.before ? find_index(row.before) : -1;
        // The toolkit appends an item given by its path at the end of its submenu; one that goes
        // before another is inserted at that one's place by its label alone.
        if (before < 0) {
            add(row.menuPath, row.shortcut, toggleOptionCallback, option, flags);
        } else {
            insert(before, std::strrchr(row.menuPath, '/') + 1, row.shortcut, toggleOptionCallback,
                   option, flags);
        }
    }
}

int MainMenuBar::handle(int event) {
    // Loads, Reset Camera and the option commands change options behind the menu's back; the
    // marks are set from the view whenever the menu can be seen or used.
    const bool menuUse = event == FL_PUSH || event == FL_SHORTCUT;
    if (menuUse)
        syncMarks();
    const int used = Fl_Menu_Bar::handle(event);
    if (menuUse)
        syncMarks();
    return used;
}

void syncReadingItems(Fl_Menu_& menu, const Motion* motion) {
    const std::pair<const char*, bool> items[] = {
        {"&File/Up Axis/Y", motion && motion->upAxis() == UpAxis::Y},
        {"&File/Up Axis/Z", motion && motion->upAxis() == UpAxis::Z},
        {"&File/Position Channels/Offset Plus Value",
         motion && motion->positionChannels() == PositionChannels::OffsetPlusValue},
        {"&File/Position Channels/Value Replaces Offset",
         motion && motion->positionChannels() == PositionChannels::ValueReplacesOffset},
    };
    for (const auto& [path, on] : items) {
        const int i = menu.find_index(path);
        if (i < 0)
            continue;
        int flags = menu.menu()[i].flags & ~(FL_MENU_VALUE | FL_MENU_INACTIVE);
        flags |= on ? FL_MENU_VALUE : 0;
        flags |= motion ? 0 : FL_MENU_INACTIVE;
        menu.mode(i, flags);
    }
}

void syncEditItems(Fl_Menu_& menu, bool canUndo, bool canRedo) {
    const std::pair<const char*, bool> items[] = {{"&Edit/&Undo", canUndo},
                                                  {"&Edit/&Redo", canRedo}};
    for (const auto& [path, active] : items) {
        const int i = menu.find_index(path);
        if (i < 0)
            continue;
        const int flags = menu.menu()[i].flags & ~FL_MENU_INACTIVE;
        menu.mode(i, active ? flags : flags | FL_MENU_INACTIVE);
    }
}

namespace {

void syncCheckMark(Fl_Menu_& menu, const char* path, bool on) {
    const int i = menu.find_index(path);
    if (i < 0)
        return;
    const int flags = menu.menu()[i].flags & ~FL_MENU_VALUE;
    menu.mode(i, on ? flags | FL_MENU_VALUE : flags);
}

}  // namespace

void syncFeetItem(Fl_Menu_& menu, bool planted) {
    syncCheckMark(menu, "&Selection/Keep Feet Planted", planted);
}

void syncSpeedItem(Fl_Menu_& menu, bool kept) {
    syncCheckMark(menu, "&Selection/Keep Speed", kept);
}

void MainMenuBar::syncMarks() {
    if (auto* window = dynamic_cast<MotionWindow*>(parent())) {
        syncOptionMarks(*this, *window->view());
        syncEditItems(*this, window->document().canUndo(), window->document().canRedo());
        syncFeetItem(*this, window->document().feetPlanted());
        syncSpeedItem(*this, window->document().keepSpeed());
        syncPathToolMarks(*this, window->document().falloff(), window->document().pathDetail());
        syncReadingItems(*this, window->document().motion());
    }
}

// Columns: label, shortcut, callback, user data, flags, then label type, font, size and colour,
// all left at FLTK's defaults. The UI menu holds only view options.
Fl_Menu_Item mainMenu[] = {
    {"&File", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"&Open", FL_ALT + 'o', openCallback, nullptr, 0, 0, 0, 0, 0},
    {"&Save", FL_ALT + 's', saveCallback, nullptr, 0, 0, 0, 0, 0},
    {"Export glTF...", 0, exportGltfCallback, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Up Axis", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Y", 0, upAxisCallback<UpAxis::Y>, nullptr, FL_MENU_RADIO | FL_MENU_INACTIVE, 0, 0, 0, 0},
    {"Z", 0, upAxisCallback<UpAxis::Z>, nullptr, FL_MENU_RADIO | FL_MENU_INACTIVE, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Position Channels", 0, nullptr, nullptr, FL_SUBMENU | FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Offset Plus Value", 0, positionChannelsCallback<PositionChannels::OffsetPlusValue>, nullptr,
     FL_MENU_RADIO | FL_MENU_INACTIVE, 0, 0, 0, 0},
    {"Value Replaces Offset", 0, positionChannelsCallback<PositionChannels::ValueReplacesOffset>,
     nullptr, FL_MENU_RADIO | FL_MENU_INACTIVE, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Quit", FL_CTRL + 'q', quitCallback, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Edit", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"&Undo", FL_CTRL + 'z', undoCallback, nullptr, FL_MENU_INACTIVE, 0, 0, 0, 0},
    {"&Redo", FL_CTRL + FL_SHIFT + 'z', redoCallback, nullptr, FL_MENU_INACTIVE | FL_MENU_DIVIDER,
     0, 0, 0, 0},
    {"Point Position...", 0, pointPositionCallback, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&UI", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Camera", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"&Reset Camera", FL_ALT + 'r', resetCameraCallback, nullptr, 0, 0, 0, 0, 0},
    {"Top View", FL_ALT + '1', cameraPresetCallback<CameraPreset::Top>, nullptr, 0, 0, 0, 0, 0},
    {"Front View", FL_ALT + '2', cameraPresetCallback<CameraPreset::Front>, nullptr, 0, 0, 0, 0, 0},
    {"Side View", FL_ALT + '3', cameraPresetCallback<CameraPreset::Side>, nullptr, 0, 0, 0, 0, 0},
    {"Frame Selection", 'f', frameSelectionCallback, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Selection", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Falloff", 0, nullptr, nullptr, FL_SUBMENU | FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Off", 0, falloffCallback, shapeData(FalloffShape::Off), FL_MENU_RADIO | FL_MENU_VALUE, 0, 0,
     0, 0},
    {"Linear", 0, falloffCallback, shapeData(FalloffShape::Linear), FL_MENU_RADIO, 0, 0, 0, 0},
    {"Smooth", 0, falloffCallback, shapeData(FalloffShape::Smooth), FL_MENU_RADIO, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Keep Feet Planted", 0, keepFeetPlantedCallback, nullptr, FL_MENU_TOGGLE, 0, 0, 0, 0},
    {"Choose Feet...", 0, chooseFeetCallback, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Keep Speed", 0, keepSpeedCallback, nullptr, FL_MENU_TOGGLE | FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Select All", FL_CTRL + 'a', selectAllCallback, nullptr, 0, 0, 0, 0, 0},
    {"Select None", FL_CTRL + FL_SHIFT + 'a', selectNoneCallback, nullptr, FL_MENU_DIVIDER, 0, 0, 0,
     0},
    {"Path Detail", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Every 25 Frames", 0, pathDetailCallback, reinterpret_cast<void*>(25), FL_MENU_RADIO, 0, 0, 0,
     0},
    {"Every 50 Frames", 0, pathDetailCallback, reinterpret_cast<void*>(50),
     FL_MENU_RADIO | FL_MENU_VALUE, 0, 0, 0, 0},
    {"Every 100 Frames", 0, pathDetailCallback, reinterpret_cast<void*>(100), FL_MENU_RADIO, 0, 0,
     0, 0},
    {"Every 200 Frames", 0, pathDetailCallback, reinterpret_cast<void*>(200), FL_MENU_RADIO, 0, 0,
     0, 0},
    {"Every N Seconds...", 0, pathDetailSecondsCallback, nullptr, FL_MENU_RADIO, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"&Transform", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Move...", 'g', transformCallback<GroundTransform::Shift>, nullptr, 0, 0, 0, 0, 0},
    {"Turn...", 'r', transformCallback<GroundTransform::Turn>, nullptr, 0, 0, 0, 0, 0},
    {"Scale...", 's', transformCallback<GroundTransform::Scale>, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

template void cameraPresetCallback<CameraPreset::Top>(Fl_Widget*, void*);
template void cameraPresetCallback<CameraPreset::Front>(Fl_Widget*, void*);
template void cameraPresetCallback<CameraPreset::Side>(Fl_Widget*, void*);
template void transformCallback<GroundTransform::Shift>(Fl_Widget*, void*);
template void transformCallback<GroundTransform::Turn>(Fl_Widget*, void*);
template void transformCallback<GroundTransform::Scale>(Fl_Widget*, void*);
