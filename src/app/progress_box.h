#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Window.H>

#include <string>

class Progress;

// A small window that shows how far a long load or save got, with the file's name and a Cancel
// button that cancels it; a job that completes a change already made (the feet planted again
// after a drag) shows no button, as it cannot be cancelled. It stays above the main window
// without blocking it.
class ProgressBox : public Fl_Window {
  public:
    ProgressBox(const std::string& text, Progress& progress, bool cancellable = true);
    // Shows the progress's current fraction.
    void update();

  private:
    static void cancelPressed(Fl_Widget*, void* box);

    Progress& progress_;
    std::string text_;
    Fl_Progress bar_;
    Fl_Button cancel_;
};
