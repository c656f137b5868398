#pragma once
// Putting downloaded files in place all together, or not at all.
#include <vector>

#include "util/text.h"

namespace updater {

struct Replacement {
  Text downloaded;  // the complete download, in the target's directory
  Text target;
};

// The backup an old file is kept under until every new file is in place.
Text BackupPath(const Text& target);

// Renames every download over its target (MoveFileEx with replace), keeping each old file
// as a backup until all are in place. If any rename fails, every target already replaced
// gets its old file back and files that are new are taken away again. The downloads and the
// backups are removed in either case. True when every target now holds its download.
bool ReplaceFiles(const std::vector<Replacement>& replacements);

}  // namespace updater
