#pragma once

#include <FL/Fl_Menu_Item.H>

// The main window's menu bar: File, Edit, UI, Camera and Selection. Every item has user data 0; the
// callbacks find the MotionWindow as the parent of the menu bar that calls them.
extern Fl_Menu_Item mainMenu[];

class Fl_Widget;
class Fl_Menu_Bar;
void openCallback(Fl_Widget* menuBar, void*);
void saveCallback(Fl_Widget* menuBar, void*);
void quitCallback(Fl_Widget* menuBar, void*);
void undoCallback(Fl_Widget* menuBar, void*);
void redoCallback(Fl_Widget* menuBar, void*);
void resetCameraCallback(Fl_Widget* menuBar, void*);
// One callback per view option (a ViewOption code): the code lives in the table, not in the
// item's user data.
template <int Code>
void toggleOptionCallback(Fl_Widget* menuBar, void*);

// Undo and Redo are active only while there is a step to undo or redo. The menu bar holds its
// own copy of the table, so each window keeps its own states.
void syncEditMenu(Fl_Menu_Bar* menuBar, bool canUndo, bool canRedo);
