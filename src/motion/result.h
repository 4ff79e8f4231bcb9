#pragma once

#include <string>

// What an operation that can fail hands back: success, or the system's one-line message (the
// exact console text, without its line feed). Whoever asked decides where the message goes: the
// window prints it and shows it, the command line prints it and exits with status 1.
struct Result {
    bool ok = true;
    std::string message;  // empty on success, or a note the user should still see

    static Result success() { return Result{}; }
    static Result failure(std::string message) { return Result{false, std::move(message)}; }
    explicit operator bool() const { return ok; }
};

// Prints the message of a result as one line on standard output and flushes it at once, so it
// reaches a pipe or a file before anything else happens; a success without a note prints nothing.
void printToConsole(const Result& result);
