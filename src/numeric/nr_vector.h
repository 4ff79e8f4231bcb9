#pragma once

// Index-offset vectors of doubles in the published numerical-library convention: the pointer
// returned by vector(nl, nh) is addressed as p[nl] ... p[nh]. Every routine here uses nl = 1.

// Allocates elements nl ... nh (nl >= 0); throws std::bad_alloc when memory runs out (the load
// or save that asked turns it into its message). An empty range (nh < nl) still yields a valid
// pointer for releaseVector.
double* vector(int nl, int nh);
// Frees what vector(nl, nh) returned for this pointer and nl; a null pointer is ignored.
void releaseVector(double* p, int nl);
