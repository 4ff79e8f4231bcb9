#pragma once

#include <string>

#include "motion/motion.h"
#include "motion/reading.h"
#include "motion/result.h"

class Progress;

// Reads a BVH file into `motion` and prepares it (Motion::prepare) under the reading the options
// set or, where they leave it open, the one detected in the file; reports to `progress` if given
// and stops with Progress::kCancelled once it is cancelled. On failure the result carries the
// reason and `motion` is left exactly as it was. A success's note names what unfinished saves of
// the file left (unfinishedSavesNote).
Result loadMotion(const std::string& path, Motion& motion,
                  const LoadOptions& options = LoadOptions(), Progress* progress = nullptr);
