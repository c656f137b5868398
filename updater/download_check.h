#pragma once
// Whether a complete download is the file the due list asked for, before it may replace anything.
#include "util/text.h"

namespace updater {

// Whether the file at path is a PE image (MZ and PE signatures) for the machine this program
// was built for: an updated .exe or .dll of the other architecture, or a web page, would not load.
bool IsImageForThisMachine(const Text& path);

// name is the due list's file name, expectedVersion its version (empty: none named),
// expectedSha256 the hash from the signed manifest (hex). The file's SHA-256 must be that
// hash (an empty or malformed one matches nothing); a .exe or .dll must also be an image for
// this machine; with a version named, the file must carry exactly that FileVersion. Every
// refusal is logged.
bool IsExpectedDownload(const Text& path, const Text& name, const Text& expectedVersion,
                        const Text& expectedSha256);

}  // namespace updater
