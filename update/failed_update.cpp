#include "update/failed_update.h"

#include <windows.h>

#include "update/handoff_files.h"
#include "util/files.h"
#include "util/log.h"

namespace update {
namespace {

constexpr char kFailedLine[] = "failed\r\n";
constexpr char kSkippedLine[] = "skipped\r\n";
// A due list is a few short lines per file; the updater refuses far smaller ones already.
constexpr std::size_t kMaxRecordBytes = 2 << 20;

Text RecordPath(const Text& directory) { return directory + "\\" + kFailedUpdateFile; }

bool StartsWith(const Text& text, const char* prefix) { return text.compare(0, Text(prefix).size(), prefix) == 0; }

}  // namespace

Text FormatFailedUpdateRecord(const FailedUpdateRecord& record) {
  switch (record.state) {
    case FailedUpdateRecord::State::kFailed:
      return kFailedLine + record.dueList;
    case FailedUpdateRecord::State::kSkipped:
      return kSkippedLine + record.dueList;
    case FailedUpdateRecord::State::kNone:
      break;
  }
  return Text();
}

FailedUpdateRecord ParseFailedUpdateRecord(const Text& text) {
  FailedUpdateRecord record;
  if (StartsWith(text, kFailedLine)) {
    record.state = FailedUpdateRecord::State::kFailed;
    record.dueList = text.substr(Text(kFailedLine).size());
  } else if (StartsWith(text, kSkippedLine)) {
    record.state = FailedUpdateRecord::State::kSkipped;
    record.dueList = text.substr(Text(kSkippedLine).size());
  }
  return record;
}

HandOffDecision DecideHandOff(const FailedUpdateRecord& record, const Text& dueList) {
  if (record.state == FailedUpdateRecord::State::kFailed && record.dueList == dueList)
    return HandOffDecision::kStartNormally;
  return HandOffDecision::kHandOff;
}

FailedUpdateRecord ReadFailedUpdateRecord(const Text& directory) {
  const Text path = RecordPath(directory);
  if (!util::FileExists(path)) return FailedUpdateRecord();
  Bytes bytes;
  if (!util::ReadWholeFile(path, bytes, kMaxRecordBytes)) {
    util::LogWarning("%s could not be read: taken as no failed update", path.c_str());
    return FailedUpdateRecord();
  }
  FailedUpdateRecord record = ParseFailedUpdateRecord(Text(bytes.begin(), bytes.end()));
  if (record.state == FailedUpdateRecord::State::kNone)
    util::LogWarning("%s is not a failed-update note: taken as none", path.c_str());
  return record;
}

bool WriteFailedUpdateRecord(const Text& directory, const FailedUpdateRecord& record) {
  return util::WriteFileAtomically(RecordPath(directory), util::ToBytes(FormatFailedUpdateRecord(record)));
}

bool RemoveFailedUpdateRecord(const Text& directory) {
  const Text path = RecordPath(directory);
  if (::DeleteFileA(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  util::LogLastError("DeleteFileA (failed-update note)");
  return false;
}

HandOffDecision DecideAndNoteHandOff(const Text& directory, const Text& dueList) {
  FailedUpdateRecord record = ReadFailedUpdateRecord(directory);
  const HandOffDecision decision = DecideHandOff(record, dueList);
  if (decision == HandOffDecision::kHandOff) {
    if (record.state == FailedUpdateRecord::State::kSkipped && record.dueList == dueList)
      util::LogInfo("update: the due list that failed before is tried again");
    return decision;
  }
  util::LogWarning("update: the updater could not install this due list last time: starting normally this once");
  record.state = FailedUpdateRecord::State::kSkipped;
  // Unmarked, every start would skip the update; the start still goes on, the update waits.
  if (!WriteFailedUpdateRecord(directory, record))
    util::LogWarning("update: the failed-update note could not be marked: the next start skips the update too");
  return decision;
}

}  // namespace update
