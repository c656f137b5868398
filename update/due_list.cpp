#include "update/due_list.h"

#include <windows.h>

#include "update/file_version.h"
#include "update/manifest.h"
#include "update/safe_name.h"

namespace update {

Text BuildDueList(const Text& manifest, const Text& directory) {
  Text dueList;
  for (const ManifestEntry& entry : ParseManifest(manifest)) {
    if (!IsSafeFileName(directory, entry.name)) continue;
    const Text path = directory + "\\" + entry.name;
    // With a version to compare, a missing file shows up as an unreadable version anyway.
    const bool exists = !entry.version.empty() || ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (IsDue(entry, exists, ReadFileVersion(path))) dueList += DueLine(entry);
  }
  return dueList;
}

}  // namespace update
