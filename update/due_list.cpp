#include "update/due_list.h"

#include "update/file_version.h"
#include "update/manifest.h"
#include "update/safe_name.h"
#include "util/files.h"
#include "util/log.h"
#include "util/sha256.h"

namespace update {

Text BuildDueList(const Text& manifest, const Text& directory) {
  Text dueList;
  // Every entry claims its file, due or not: a later line for the same file is never due.
  DistinctFileNames names(directory);
  for (const ManifestEntry& entry : ParseManifest(manifest)) {
    if (!IsSafeFileName(directory, entry.name)) {
      util::LogWarning("manifest entry %s is not a name inside the program's folder: skipped", entry.name.c_str());
      continue;
    }
    if (!names.Claim(entry.name)) continue;
    const Text path = directory + "\\" + entry.name;
    // With a version to compare, a missing file shows up as an unreadable version anyway.
    const bool exists = !entry.version.empty() || util::FileExists(path);
    if (!IsDue(entry, exists, ReadFileVersionOfOwnFile(path))) continue;
    // The hash is what ties the download to the signed manifest: without it any bytes would do.
    if (!util::IsSha256Hex(entry.sha256)) {
      util::LogWarning("manifest entry %s has no well-formed <sha256>: never due", entry.name.c_str());
      continue;
    }
    dueList += DueLine(entry);
  }
  return dueList;
}

}  // namespace update
