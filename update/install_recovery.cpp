#include "update/install_recovery.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "update/handoff_files.h"
#include "util/files.h"
#include "util/log.h"
#include "util/single_instance.h"
#include "util/unique_resource.h"

namespace update {
namespace {

constexpr std::size_t kMaxJournalBytes = 1 << 20;
constexpr DWORD kMovePauseMs = 300;
// The leftover search stays small: the program's folder holds a handful of files.
constexpr int kMaxSearchDepth = 8;
constexpr std::size_t kMaxSearchEntries = 10000;

Text Join(const Text& directory, const Text& name) { return directory + "\\" + name; }

bool IsFile(const Text& path) { return util::IsRegularFile(path); }

std::int64_t FileSize(const Text& path) {
  const std::int64_t size = util::FileSizeOf(path);
  if (size < 0) util::LogLastError("GetFileAttributesExA");
  return size;
}

FoundFiles Look(const Text& directory, const Text& target) {
  FoundFiles found;
  found.target = IsFile(Join(directory, target));
  found.backup = IsFile(Join(directory, target + kBackupSuffix));
  found.download = IsFile(Join(directory, target + kDownloadSuffix));
  if (found.download) found.downloadSize = FileSize(Join(directory, target + kDownloadSuffix));
  return found;
}

std::vector<FoundFiles> LookAtEntries(const Text& directory, const InstallJournal& journal) {
  std::vector<FoundFiles> found;
  for (const JournalEntry& entry : journal.entries) found.push_back(Look(directory, entry.target));
  return found;
}

bool EndsWithNoCase(const Text& text, const char* suffix) {
  const std::size_t n = std::char_traits<char>::length(suffix);
  if (text.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = text[text.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// Every work file below directory, by the name of its target (relative, "\" separated).
void FindWorkFiles(const Text& directory, const Text& prefix, int depth, std::size_t& seen,
                   std::map<Text, FoundFiles>& byTarget) {
  WIN32_FIND_DATAA data{};
  const Text folder = prefix.empty() ? directory : Join(directory, prefix);
  HANDLE search = ::FindFirstFileA(Join(folder, "*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      ::SetLastError(error);
      util::LogLastError("FindFirstFileA (work files)");
    }
    return;
  }
  do {
    if (++seen > kMaxSearchEntries) {
      util::LogWarning("more than %u entries below %s: the search for work files stops there",
                       static_cast<unsigned>(kMaxSearchEntries), directory.c_str());
      break;
    }
    const Text name = data.cFileName;
    if (name == "." || name == "..") continue;
    const Text relative = prefix.empty() ? name : prefix + "\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // Links to elsewhere are not ours to search (and could lead round in a circle).
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && depth < kMaxSearchDepth)
        FindWorkFiles(directory, relative, depth + 1, seen, byTarget);
      continue;
    }
    for (const char* suffix : {kDownloadSuffix, kBackupSuffix}) {
      if (!EndsWithNoCase(relative, suffix)) continue;
      const Text target = relative.substr(0, relative.size() - std::char_traits<char>::length(suffix));
      if (!target.empty()) byTarget[target];
    }
  } while (::FindNextFileA(search, &data));
  ::FindClose(search);
}

void DeleteWorkFiles(const Text& directory, const Text& target, bool& ok) {
  ok = DeleteIfPresent(Join(directory, target + kDownloadSuffix)) && ok;
  ok = DeleteIfPresent(Join(directory, target + kBackupSuffix)) && ok;
}

RecoveryOutcome RecoverLeftovers(const Text& directory, int moveAttempts) {
  std::map<Text, FoundFiles> byTarget;
  std::size_t seen = 0;
  FindWorkFiles(directory, "", 0, seen, byTarget);
  if (byTarget.empty()) return RecoveryOutcome::kNothingToDo;
  std::vector<FoundFiles> found;
  for (auto& [target, files] : byTarget) {
    files = Look(directory, target);
    found.push_back(files);
  }
  const RecoveryDirection direction = DecideLeftoverRecovery(found);
  util::LogWarning("work files of an interrupted update without a journal (%u names): %s",
                   static_cast<unsigned>(byTarget.size()),
                   direction == RecoveryDirection::kForward ? "the new files stay, the backups are removed"
                                                            : "every backup is put back, the downloads are removed");
  bool ok = true;
  for (const auto& [target, files] : byTarget) {
    util::LogInfo("work files of %s:%s%s%s", target.c_str(), files.target ? " file" : " no file",
                  files.backup ? ", backup" : "", files.download ? ", download" : "");
    if (direction == RecoveryDirection::kBack && files.backup)
      ok = MoveOver(Join(directory, target + kBackupSuffix), Join(directory, target), moveAttempts) && ok;
    DeleteWorkFiles(directory, target, ok);
  }
  return ok ? RecoveryOutcome::kRecovered : RecoveryOutcome::kIncomplete;
}

bool UpdaterAtWork() {
  const Text eventName = util::InstanceEventName(kUpdaterInstanceName);
  if (eventName.empty()) return false;
  util::UniqueHandle event(::OpenEventA(SYNCHRONIZE, FALSE, eventName.c_str()));
  return static_cast<bool>(event);
}

}  // namespace

Text JournalPath(const Text& directory) { return Join(directory, kInstallJournalFile); }

bool WriteJournal(const Text& directory, const InstallJournal& journal) {
  return util::WriteFileAtomically(JournalPath(directory), util::ToBytes(FormatJournal(journal)));
}

bool RemoveJournal(const Text& directory) {
  // The ".new" is what WriteFileAtomically leaves when it is cut off: never a whole journal.
  const bool temporary = DeleteIfPresent(JournalPath(directory) + ".new");
  return DeleteIfPresent(JournalPath(directory)) && temporary;
}

bool MoveOver(const Text& from, const Text& to, int attempts) {
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = ::GetLastError();
    const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    if (!held || attempt >= attempts) {
      ::SetLastError(error);
      util::LogLastError("MoveFileExA");
      util::LogWarning("could not move %s over %s", from.c_str(), to.c_str());
      return false;
    }
    ::Sleep(kMovePauseMs);
  }
}

bool DeleteIfPresent(const Text& path) {
  if (::DeleteFileA(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  ::SetLastError(error);
  util::LogLastError("DeleteFileA");
  util::LogWarning("%s stays behind", path.c_str());
  return false;
}

bool CarryOutRecovery(const Text& directory, InstallJournal journal, int moveAttempts) {
  // At most two passes: forward, and when a forward step fails, back.
  for (int pass = 0; pass < 2; ++pass) {
    const std::vector<FoundFiles> found = LookAtEntries(directory, journal);
    const RecoveryPlan plan = DecideRecovery(journal, found);
    util::Log(plan.whole ? util::LogLevel::kInfo : util::LogLevel::kError,
              "installation of %u files (%s): %s%s", static_cast<unsigned>(journal.entries.size()),
              journal.phase == JournalPhase::kInstall ? "installing" : "rolling back",
              plan.direction == RecoveryDirection::kForward ? "finishing it" : "putting every old file back",
              plan.whole ? "" : ", though not every file can be made whole");
    bool ok = true;
    if (plan.direction == RecoveryDirection::kForward) {
      for (std::size_t i = 0; i < found.size() && ok; ++i) {
        if (found[i].download)
          ok = MoveOver(Join(directory, journal.entries[i].download), Join(directory, journal.entries[i].target),
                        moveAttempts);
      }
      if (!ok) {
        util::LogWarning("a new file could not be moved in: the installation is undone instead");
        journal.phase = JournalPhase::kRollBack;
        continue;
      }
    } else {
      // Noted first: a file put back must never be taken for a new one after a crash.
      if (journal.phase != JournalPhase::kRollBack) {
        journal.phase = JournalPhase::kRollBack;
        if (!WriteJournal(directory, journal)) {
          util::LogWarning("the roll-back could not be noted in the journal: it waits for the next start");
          return false;
        }
      }
      for (std::size_t i = 0; i < found.size(); ++i) {
        const JournalEntry& entry = journal.entries[i];
        if (found[i].download) continue;  // never replaced: the old file is still there
        if (entry.hadOld && found[i].backup) {
          ok = MoveOver(Join(directory, entry.backup), Join(directory, entry.target), moveAttempts) && ok;
        } else if (entry.hadOld) {
          // Put back already by an earlier pass, unless the installation lost the backup.
          if (!plan.whole) util::LogError("%s cannot be put back: its backup is gone", entry.target.c_str());
        } else if (found[i].target) {
          ok = DeleteIfPresent(Join(directory, entry.target)) && ok;
        }
      }
      if (!ok) {
        util::LogWarning("not every old file could be put back: the journal stays for the next start");
        return false;
      }
    }
    for (const JournalEntry& entry : journal.entries) DeleteWorkFiles(directory, entry.target, ok);
    ok = RemoveJournal(directory) && ok;
    util::Log(ok && plan.whole ? util::LogLevel::kInfo : util::LogLevel::kWarning, "installation %s%s",
              plan.direction == RecoveryDirection::kForward ? "finished" : "undone",
              ok ? "" : ", but a work file stays behind");
    return ok && plan.whole;
  }
  return false;
}

RecoveryOutcome RecoverInterruptedInstall(const Text& directory, int moveAttempts) {
  const Text journalPath = JournalPath(directory);
  if (util::FileExists(journalPath)) {
    Bytes bytes;
    InstallJournal journal;
    if (util::ReadWholeFile(journalPath, bytes, kMaxJournalBytes) &&
        ParseJournal(Text(bytes.begin(), bytes.end()), journal)) {
      util::LogWarning("%s: an installation was cut off", journalPath.c_str());
      return CarryOutRecovery(directory, journal, moveAttempts) ? RecoveryOutcome::kRecovered
                                                                 : RecoveryOutcome::kIncomplete;
    }
    util::LogError("%s cannot be read as a journal: it is removed and the work files are judged alone",
                   journalPath.c_str());
  }
  const bool hadJournal = util::FileExists(journalPath) || util::FileExists(journalPath + ".new");
  const bool removed = RemoveJournal(directory);
  RecoveryOutcome outcome = RecoverLeftovers(directory, moveAttempts);
  if (hadJournal && outcome == RecoveryOutcome::kNothingToDo) outcome = RecoveryOutcome::kRecovered;
  if (!removed) outcome = RecoveryOutcome::kIncomplete;
  return outcome;
}

RecoveryOutcome RecoverAtProgramStart(const Text& directory) {
  if (UpdaterAtWork()) {
    util::LogInfo("an updater is at work: its files are left to it");
    return RecoveryOutcome::kSkipped;
  }
  const RecoveryOutcome outcome = RecoverInterruptedInstall(directory, 1);
  if (outcome != RecoveryOutcome::kNothingToDo)
    util::LogInfo("recovery of an interrupted update: %s", RecoveryOutcomeName(outcome));
  return outcome;
}

const char* RecoveryOutcomeName(RecoveryOutcome outcome) {
  switch (outcome) {
    case RecoveryOutcome::kNothingToDo: return "nothing to do";
    case RecoveryOutcome::kRecovered: return "recovered";
    case RecoveryOutcome::kIncomplete: return "incomplete";
    case RecoveryOutcome::kSkipped: return "skipped";
  }
  return "unknown";
}

}  // namespace update
