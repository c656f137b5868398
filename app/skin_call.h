#pragma once
#include "util/text.h"
namespace app {
// Attaches the skinning library with the skin file; a missing library or export is fatal.
void ApplySkin(const Text& skinFilePath, const Text& password);
}  // namespace app
