#pragma once

// Reports an unrecoverable numerical failure on standard error in three lines (the library
// banner, the message, the exit notice) and ends the process with exit status 1.
[[noreturn]] void numericsError(const char* message);
