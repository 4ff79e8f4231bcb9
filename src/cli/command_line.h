#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The subcommands of bvhpath that need no display (info, check, convert, edit, export, skate).
// They load, edit and save through the Document and Motion calls the window makes, and never
// touch FLTK or GL.

// The usage line of the window, which the program prints alone on a wrong argument.
extern const char* const kWindowUsage;
// The whole --help text: the usage line, then one line per subcommand and the reading options.
extern const char* const kHelpText;

// Whether word names a subcommand.
bool isSubcommand(const std::string& word);

// Does what the program's arguments (without the program's name) ask for without a window: a
// subcommand, the help text, or the usage line for a wrong argument, returning the exit status.
// Sets `wantsWindow` and returns 0 without doing anything when they ask for the window: no
// arguments, or one file to open.
int runWithoutWindow(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                     bool& wantsWindow);

// Runs the subcommand named by args[0] with the rest of args as its arguments. Everything it
// reports, failures included, goes to out, a line at a time, each flushed at once. Returns the
// exit status: 0 on success, 1 on any failure (a file that does not load or save, a wrong
// argument).
int runSubcommand(const std::vector<std::string>& args, std::FILE* out);
