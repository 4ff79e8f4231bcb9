#include <FL/Fl.H>

#include <cstdio>
#include <string>
#include <vector>

#include "app/motion_window.h"
#include "cli/command_line.h"

int main(int argc, char** argv) {
    // A subcommand runs without a display: it returns before anything of FLTK is touched.
    bool wantsWindow = false;
    const int status = runWithoutWindow(std::vector<std::string>(argv + 1, argv + argc), stdout,
                                        stderr, wantsWindow);
    if (!wantsWindow) {
        return status;
    }
    // Loads and saves run on a worker thread, which wakes the toolkit's loop when it is done.
    Fl::lock();
    // The window lives as long as the process and shows at once; a file given at start is
    // opened from the running window, with its progress shown if it takes long.
    MotionWindow window;
    // Without a display the toolkit says so and ends the process with status 1 here.
    window.show();
    if (!window.shown()) {
        return 1;
    }
    if (argc == 2) {
        window.openPath(argv[1]);
    }
    Fl::run();
    // The loop ends once the window has closed: through the window manager, File > Quit, or
    // the unsaved-work question answered. Each is a normal end.
    return 0;
}
