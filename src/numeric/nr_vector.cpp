#include "numeric/nr_vector.h"

#include <cstdlib>
#include <new>

#include "numeric/numerics_error.h"

// The block covers indices 0 ... nh, not just nl ... nh, so the returned pointer is the start of
// its own allocation: no pointer is ever formed before the block (which C++ leaves undefined).
// The cost is nl spare doubles, one for every vector these routines use.
double* vector(int nl, int nh) {
    if (nl < 0) {
        numericsError("allocation failure in vector()");
    }
    // Counted in size_t, so the largest nh cannot overflow into a short block.
    const std::size_t count = static_cast<std::size_t>(nh >= nl ? nh : nl) + 1;
    void* block = std::malloc(count * sizeof(double));
    // Memory running out is no fault of the numbers: it reaches the load or save that asked as
    // any other allocation failure does, and becomes its message instead of ending the program.
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<double*>(block);
}

void releaseVector(double* p, int /*nl*/) {
    std::free(p);
}
