#include "update/install_journal.h"

#include <string>

#include "update/handoff_files.h"
#include "update/safe_name.h"

namespace update {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kInstallPhase[] = "phase install";
constexpr char kRollBackPhase[] = "phase rollback";
// A journal names the files of one due list; a due list is far shorter than this.
constexpr std::size_t kMaxEntries = 4096;

Text Field(const char* tag, const Text& value) { return Text("<") + tag + ">" + value + "</" + tag + ">"; }

// The value of <tag>...</tag> in line; false when the tag is missing.
bool ReadField(const Text& line, const char* tag, Text& value) {
  const Text open = Text("<") + tag + ">";
  const Text close = Text("</") + tag + ">";
  const std::size_t start = line.find(open);
  if (start == Text::npos) return false;
  const std::size_t valueStart = start + open.size();
  const std::size_t end = line.find(close, valueStart);
  if (end == Text::npos) return false;
  value = line.substr(valueStart, end - valueStart);
  return true;
}

bool ParseSize(const Text& text, std::int64_t& size) {
  if (text.empty() || text.size() > 18) return false;
  size = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    size = size * 10 + (c - '0');
  }
  return true;
}

bool ParseEntry(const Text& line, JournalEntry& entry) {
  Text size, old;
  if (!ReadField(line, "target", entry.target) || !ReadField(line, "backup", entry.backup) ||
      !ReadField(line, "download", entry.download) || !ReadField(line, "size", size) || !ReadField(line, "old", old))
    return false;
  if (!ParseSize(size, entry.downloadSize) || (old != "0" && old != "1")) return false;
  entry.hadOld = old == "1";
  // Recovery renames and deletes these: only our own work files of a name inside the folder.
  return IsSafeRelativeName(entry.target) && entry.backup == entry.target + kBackupSuffix &&
         entry.download == entry.target + kDownloadSuffix;
}

// A target whose new file is in place: its download was moved over it.
bool Placed(const FoundFiles& found) { return !found.download; }

}  // namespace

JournalEntry MakeJournalEntry(const Text& target, std::int64_t downloadSize, bool hadOld) {
  JournalEntry entry;
  entry.target = target;
  entry.backup = target + kBackupSuffix;
  entry.download = target + kDownloadSuffix;
  entry.downloadSize = downloadSize;
  entry.hadOld = hadOld;
  return entry;
}

Text FormatJournal(const InstallJournal& journal) {
  Text text = journal.phase == JournalPhase::kInstall ? kInstallPhase : kRollBackPhase;
  text += kLineEnd;
  for (const JournalEntry& e : journal.entries) {
    text += Field("target", e.target) + Field("backup", e.backup) + Field("download", e.download) +
            Field("size", std::to_string(e.downloadSize)) + Field("old", e.hadOld ? "1" : "0") + kLineEnd;
  }
  return text;
}

bool ParseJournal(const Text& text, InstallJournal& journal) {
  InstallJournal parsed;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find(kLineEnd, start);
    // Every line FormatJournal writes ends in CR LF: a line without one was cut off.
    if (end == Text::npos) return false;
    const Text line = text.substr(start, end - start);
    start = end + 2;
    if (first) {
      if (line == kInstallPhase) parsed.phase = JournalPhase::kInstall;
      else if (line == kRollBackPhase) parsed.phase = JournalPhase::kRollBack;
      else return false;
      first = false;
      continue;
    }
    JournalEntry entry;
    if (!ParseEntry(line, entry) || parsed.entries.size() >= kMaxEntries) return false;
    parsed.entries.push_back(entry);
  }
  if (parsed.entries.empty()) return false;
  journal = std::move(parsed);
  return true;
}

bool CanRollForward(const InstallJournal& journal, const std::vector<FoundFiles>& found) {
  if (found.size() != journal.entries.size()) return false;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const FoundFiles& f = found[i];
    const bool completeDownload = f.download && f.downloadSize == journal.entries[i].downloadSize;
    const bool newInPlace = Placed(f) && f.target;
    if (!completeDownload && !newInPlace) return false;
  }
  return true;
}

bool CanRollBack(const InstallJournal& journal, const std::vector<FoundFiles>& found) {
  if (found.size() != journal.entries.size()) return false;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const FoundFiles& f = found[i];
    // Untouched targets need nothing; a replaced one needs its backup, if it had an old file.
    if (Placed(f) && journal.entries[i].hadOld && !f.backup) return false;
  }
  return true;
}

RecoveryPlan DecideRecovery(const InstallJournal& journal, const std::vector<FoundFiles>& found) {
  RecoveryPlan plan;
  if (journal.phase == JournalPhase::kRollBack) {
    // A file already restored looks like one whose download was moved in: only the roll-back
    // itself can tell them apart, so it is always continued.
    plan.direction = RecoveryDirection::kBack;
    plan.whole = found.size() == journal.entries.size();
    return plan;
  }
  if (CanRollForward(journal, found)) {
    plan.direction = RecoveryDirection::kForward;
    return plan;
  }
  // Undoing gives back every old file that still has its backup, even when not all do.
  plan.direction = RecoveryDirection::kBack;
  plan.whole = CanRollBack(journal, found);
  return plan;
}

RecoveryDirection DecideLeftoverRecovery(const std::vector<FoundFiles>& found) {
  bool anyBackup = false, anyDownload = false, backupWithoutTarget = false;
  for (const FoundFiles& f : found) {
    anyBackup = anyBackup || f.backup;
    anyDownload = anyDownload || f.download;
    backupWithoutTarget = backupWithoutTarget || (f.backup && !f.target);
  }
  if (anyBackup && !anyDownload && !backupWithoutTarget) return RecoveryDirection::kForward;
  return RecoveryDirection::kBack;
}

}  // namespace update
