#pragma once
#include "util/text.h"

namespace update {
// The due list for a manifest against the files in directory: one DueLine per due file,
// in manifest order. A name that would leave the directory is never due, and neither is an
// entry without a well-formed SHA-256.
Text BuildDueList(const Text& manifest, const Text& directory);
}  // namespace update
