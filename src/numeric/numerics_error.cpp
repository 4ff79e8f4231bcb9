#include "numeric/numerics_error.h"

#include <cstdio>
#include <cstdlib>

void numericsError(const char* message) {
    std::fprintf(stderr, "Numerical Recipes run-time error...\n");
    std::fprintf(stderr, "%s\n", message);
    std::fprintf(stderr, "...now exiting to system...\n");
    std::exit(1);
}
