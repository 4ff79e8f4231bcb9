// The command line without the window, for the builds that have none (the sanitizers'): the
// subcommands run as the program runs them.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"

int main(int argc, char** argv) {
    bool wantsWindow = false;
    const int status = runWithoutWindow(std::vector<std::string>(argv + 1, argv + argc), stdout,
                                        stderr, wantsWindow);
    if (wantsWindow) {
        std::fputs("bvhpath_headless: this build has no window\n", stderr);
        return 2;
    }
    return status;
}
