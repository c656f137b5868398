#pragma once
// Putting downloaded files in place all together, or not at all, so that a crash at any
// instant leaves files a later start can finish or undo (update/install_journal.h).
#include <functional>
#include <vector>

#include "util/text.h"

namespace updater {

// The backup an old file is kept under until every new file is in place.
Text BackupPath(const Text& target);

// Puts the complete download of every name (directory\name + ".gxtmp") in its place. First the
// journal naming every target, its backup and its download is written and flushed; then per
// file the old one is copied aside to its backup and the download moved over the target in one
// rename, so the target always names a whole file, old or new. Once all are in place the
// backups and then the journal are removed. When a step fails, every file already replaced gets
// its old file back and files that are new are taken away again (the roll-back is noted in
// the journal first, so a crash during it is finished by the next start). The downloads are
// removed in either case. True when every target now holds its download.
// afterStep is called with 1, 2, ... after each step that changed a file on disk.
bool ReplaceFiles(const Text& directory, const std::vector<Text>& names,
                  const std::function<void(int step)>& afterStep = {});

}  // namespace updater
