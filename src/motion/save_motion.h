#pragma once

#include <string>

#include "motion/edited_motion.h"
#include "motion/prepared_save.h"
#include "motion/reading.h"
#include "motion/result.h"

class Progress;

// Writes the motion with its edit baked into the root's channels (and the planted legs'), in the
// conventions the file was read in unless the options set others. The file is written beside
// the target and renamed over it only when complete; a cancel through `progress` leaves it as it
// was.
Result saveMotion(const EditedMotion& edited, const std::string& path,
                  const SaveOptions& options = SaveOptions(), Progress* progress = nullptr);
// The first half of saveMotion: bakes the edit into a copy of the frames, ready to be written
// (perhaps on another thread) while the motion goes on being shown and edited.
Result prepareSave(const EditedMotion& edited, PreparedSave& save,
                   const SaveOptions& options = SaveOptions());
