#include <FL/Fl.H>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/motion_window.h"

int main(int argc, char** argv) {
    // A subcommand runs without a display: it returns before anything of FLTK is touched.
    if (argc >= 2 && isSubcommand(argv[1])) {
        return runSubcommand(std::vector<std::string>(argv + 1, argv + argc), stdout);
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-' && std::strcmp(argv[1], "--help") != 0)) {
        std::fputs(kWindowUsage, stderr);
        return 2;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelpText, stdout);
        return 0;
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
