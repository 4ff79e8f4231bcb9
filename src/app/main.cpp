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
    // The window lives as long as the process; the reader's messages go to standard output.
    MotionWindow window;
    if (argc == 2) {
        window.openPath(argv[1]);
    }
    window.show();
    Fl::run();
    return 1;
}
