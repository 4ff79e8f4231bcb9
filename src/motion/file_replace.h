#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "motion/result.h"

// Replaces the file at target with the text writeText puts into the stream it is handed, so that
// the file ends up either exactly as it was or holding the whole new text.
//
// - writeText writes the whole text and returns its result; a failure (or a refused byte) leaves
//   the target as it was and no temporary file behind, and is handed back.
// - The text goes to a temporary file beside the target, is flushed to disk, given the target's
//   owner (when the process may), group and mode bits, and renamed over it; the folder is then
//   flushed too.
// - A link is saved through: the file it names is replaced (or created) and the link stays.
// - A target that is not a regular file, or that the user may not write, is refused untouched.
// - A target with other hard links, one whose owner, group or mode the replacement could not
//   carry, or one in a folder the user cannot write to, is written in place from the fully
//   prepared temporary file (beside it, or in TMPDIR) with its new size reserved first; if the
//   copy fails, the temporary file is kept and named in the message. The folder case succeeds
//   with a note in the result's message ("Note in BVH file output: ...").
// - The file-size limit signal is set to be ignored (when it has its default action), so a save
//   past `ulimit -f` fails with a message instead of ending the program.
//
// Failures read "Error in BVH file output: <what went wrong>", one line.
Result replaceFile(const std::string& target, const std::function<Result(std::FILE*)>& writeText);
