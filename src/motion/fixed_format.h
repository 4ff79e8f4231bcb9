#pragma once

// Writes v as printf's "%.4f" writes the float promoted to double (exact value, rounded half to
// even) and returns one past the last character. out needs room for 64 characters.
char* formatFixed4(float v, char* out);
