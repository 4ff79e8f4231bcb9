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
//   prepared temporary file (beside it, or in TMPDIR) with its new size reserved first. That file
//   is named "<name>.saving-..." once it is whole and before the target changes, and is removed
//   once the copy is done; if the copy fails, it is kept and named in the message. Such a save
//   succeeds with a note in the result's message ("Note in BVH file output: ..., so it was
//   written in place").
// - Saves into one existing file take turns: each holds an advisory lock on it (TargetLock) for
//   the whole save. A success's note also names the whole texts that earlier saves of the
//   target left behind (see unfinishedSavesNote).
// - The file-size limit signal is set to be ignored (when it has its default action), so a save
//   past `ulimit -f` fails with a message instead of ending the program.
//
// Failures read "Error in BVH file output: <what went wrong>", one line.
Result replaceFile(const std::string& target, const std::function<Result(std::FILE*)>& writeText);

// "Note in BVH file output: an earlier save of <file> did not finish; its whole text is kept in
// <file>.saving-...": the whole texts that saves of the file target names left behind when they
// were stopped during their copy in place, or empty when there are none or a save of it runs.
std::string unfinishedSavesNote(const std::string& target);
