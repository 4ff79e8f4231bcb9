#include <FL/Fl.H>

#include <cstdio>
#include <cstring>

#include "app/motion_window.h"

namespace {

const char* const usage = "usage: bvhpath [FILE.bvh]  (opens FILE.bvh, or starts empty)\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-' && std::strcmp(argv[1], "--help") != 0)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
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
