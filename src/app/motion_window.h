#pragma once

#include <FL/Fl_Window.H>

#include <functional>
#include <string>

#include "document/document.h"

class MotionView;
class PlaybackPanel;

// The program's one top-level window: the 3D view, the menu bar and the playback panel, and
// the commands behind the menus. It lives for the whole run.
class MotionWindow : public Fl_Window {
  public:
    MotionWindow();

    // Asks for a file through chooseFile and loads it; a cancel or a failed load changes nothing.
    void open();
    // Loads the file and shows it from frame 1; 1 on success, 0 (nothing changed) on failure.
    int openPath(const std::string& path);
    // Asks for a file name and saves the shown motion with its path edit; nothing without one.
    void save();
    void resetCamera();
    // The panel's callback: shows the panel's current frame in the view.
    void frameChanged();

    MotionView* view() const { return view_; }
    Document& document() { return document_; }
    PlaybackPanel* panel() const { return panel_; }

    // Asks the user for a file (message, pattern or null, preset name or null); returns the
    // path, or null on cancel. It is FLTK's file chooser; tests answer it themselves.
    std::function<const char*(const char*, const char*, const char*)> chooseFile;

  private:
    Document document_;     // the motion being edited; the view shows it
    MotionView* view_;      // child widget, owned by the window as its group
    PlaybackPanel* panel_;  // child widget, owned by the window as its group
    std::string title_;     // FLTK keeps only the pointer of a window label
};
