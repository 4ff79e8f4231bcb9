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
    window.show();
    if (argc == 2) {
        window.openPath(argv[1]);
    }
    Fl::run();
    return 1;
}
