#pragma once

#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>

#include "editing/falloff.h"
#include "editing/ground_transform.h"
#include "view/camera.h"

class Motion;
class MotionView;

// The main window's commands in File, Edit, Camera and Selection. Every item has user data 0; the
// callbacks find the MotionWindow as the parent of the menu bar that calls them. The items that
// switch a view option on and off are not here: the menu bar makes them from the view's option
// table, as toggles whose user data is the option and whose check mark shows it.
extern Fl_Menu_Item mainMenu[];

class Fl_Widget;
void openCallback(Fl_Widget* menuBar, void*);
void saveCallback(Fl_Widget* menuBar, void*);
void exportGltfCallback(Fl_Widget* menuBar, void*);
void quitCallback(Fl_Widget* menuBar, void*);
void undoCallback(Fl_Widget* menuBar, void*);
void redoCallback(Fl_Widget* menuBar, void*);
void keepFeetPlantedCallback(Fl_Widget* menuBar, void*);
void keepSpeedCallback(Fl_Widget* menuBar, void*);
void chooseFeetCallback(Fl_Widget* menuBar, void*);
void resetCameraCallback(Fl_Widget* menuBar, void*);
// The callback of every view option's item; the item's user data is the option's number.
void toggleOptionCallback(Fl_Widget* menuBar, void* option);
// One callback per fitted view of the Camera menu.
template <CameraPreset Preset>
void cameraPresetCallback(Fl_Widget* menuBar, void*);
void frameSelectionCallback(Fl_Widget* menuBar, void*);
void selectAllCallback(Fl_Widget* menuBar, void*);
void selectNoneCallback(Fl_Widget* menuBar, void*);
// The radio items of Selection > Falloff and Path Detail: the user data is the falloff's shape
// or the frames per control point, and the marks are found by it.
void falloffCallback(Fl_Widget* menuBar, void* shape);
void pathDetailCallback(Fl_Widget* menuBar, void* frames);
void pathDetailSecondsCallback(Fl_Widget* menuBar, void*);
template <GroundTransform::Kind Kind>
void transformCallback(Fl_Widget* menuBar, void*);
void pointPositionCallback(Fl_Widget* menuBar, void*);

// Sets the check mark of every option item of `menu` to the view's option.
void syncOptionMarks(Fl_Menu_& menu, const MotionView& view);
// The File menu's reading items: the radio marks show how the motion is read (up axis,
// position channels); without a motion they are inactive.
void syncReadingItems(Fl_Menu_& menu, const Motion* motion);
// Undo and Redo are active only while there is a step to undo or redo.
void syncEditItems(Fl_Menu_& menu, bool canUndo, bool canRedo);
// Keep Feet Planted is checked while the document keeps the feet planted.
void syncFeetItem(Fl_Menu_& menu, bool planted);
// Keep Speed is checked while the document keeps the capture's speed.
void syncSpeedItem(Fl_Menu_& menu, bool kept);
// The radio marks of the falloff's shape and of the path's detail (frames per control point;
// Every N Seconds stands for every detail without an item of its own).
void syncPathToolMarks(Fl_Menu_& menu, FalloffShape shape, int detail);

// The main window's menu bar: its own copy of mainMenu with the view options' items added (the
// check marks are per window), with the marks and the Edit items brought in step with the view
// and the document before the menu opens or takes a shortcut, and after every command it ran.
// Its parent must be a MotionWindow for the marks to follow.
class MainMenuBar : public Fl_Menu_Bar {
  public:
    MainMenuBar(int x, int y, int w, int h);
    int handle(int event) override;
    void syncMarks();
};
