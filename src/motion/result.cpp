#include "motion/result.h"

#include <cstdio>

void printToConsole(const Result& result) {
    if (result.message.empty()) {
        return;
    }
    std::fwrite(result.message.data(), 1, result.message.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
