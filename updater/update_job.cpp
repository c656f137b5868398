#include "updater/update_job.h"

#include <memory>
#include <thread>
#include <utility>

#include "update/failed_update.h"
#include "update/handoff_files.h"
#include "update/safe_name.h"
#include "updater/download_check.h"
#include "updater/install.h"
#include "util/log.h"
#include "util/sha256.h"

namespace updater {
namespace {

// What the download threads share with the job; kept alive by whoever ends last.
struct Shared {
  explicit Shared(std::size_t rows) : cancels(rows) {}
  std::vector<DownloadCancel> cancels;
};

// The missing parent folders of directory\name, outermost first; returns the ones it made, so
// that a failed job can take them away again. A separator is a byte 0x5C or "/" that is a
// character of its own, not the trail byte of a two-byte character.
std::vector<Text> CreateParentFolders(const Text& directory, const Text& name) {
  std::vector<Text> created;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (util::IsLeadByte(c) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (c != '\\' && c != '/') continue;
    const Text folder = directory + "\\" + name.substr(0, i);
    // A folder that exists already is what we want; the download reports any other trouble.
    if (::CreateDirectoryA(folder.c_str(), nullptr)) {
      created.push_back(folder);
    } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      util::LogLastError("CreateDirectoryA");
    }
  }
  return created;
}

// Innermost first; a folder that is not empty (a file of a thread given up on) stays, logged.
void RemoveFolders(const std::vector<Text>& folders) {
  for (std::size_t i = folders.size(); i-- > 0;) {
    if (!::RemoveDirectoryA(folders[i].c_str())) {
      util::LogLastError("RemoveDirectoryA");
      util::LogWarning("the folder %s stays behind", folders[i].c_str());
    }
  }
}

bool AllFinished(const std::vector<RowStatus>& rows) {
  for (const RowStatus& row : rows) {
    if (row.phase == RowPhase::kRunning) return false;
  }
  return true;
}

}  // namespace

void ProgressTable::Reset(std::size_t rows) {
  std::lock_guard<std::mutex> hold(lock_);
  rows_.assign(rows, RowStatus{});
  for (RowStatus& row : rows_) row.lastChange = ::GetTickCount();
}

void ProgressTable::Progress(std::size_t row, std::int64_t received, std::int64_t total) {
  std::lock_guard<std::mutex> hold(lock_);
  if (row >= rows_.size() || rows_[row].phase != RowPhase::kRunning) return;
  rows_[row].received = received;
  rows_[row].total = total;
  rows_[row].lastChange = ::GetTickCount();
}

void ProgressTable::Finish(std::size_t row, bool completed) {
  std::lock_guard<std::mutex> hold(lock_);
  if (row >= rows_.size() || rows_[row].phase != RowPhase::kRunning) return;
  rows_[row].phase = completed ? RowPhase::kCompleted : RowPhase::kFailed;
}

std::vector<RowStatus> ProgressTable::Snapshot() const {
  std::lock_guard<std::mutex> hold(lock_);
  return rows_;
}

Text DownloadPath(const Text& target) { return target + update::kDownloadSuffix; }

bool RunUpdateJob(const Text& directory, const std::vector<update::DueEntry>& entries, const JobLimits& limits,
                  const std::shared_ptr<ProgressTable>& tablePointer) {
  ProgressTable& table = *tablePointer;
  table.Reset(entries.size());
  auto shared = std::make_shared<Shared>(entries.size());
  std::vector<Text> downloads(entries.size());  // full paths, empty for a refused row
  std::vector<Text> namesToInstall;
  std::vector<std::thread> threads;
  std::vector<std::size_t> threadRows;  // the row of each thread
  std::vector<bool> givenUp(entries.size(), false);
  // Two rows for one file would download into one temporary file and replace each other.
  update::DistinctFileNames names(directory);
  std::vector<Text> createdFolders;  // outermost first

  for (std::size_t i = 0; i < entries.size(); ++i) {
    const update::DueEntry& entry = entries[i];
    if (!update::IsSafeFileName(directory, entry.name)) {
      util::LogWarning("refused to download %s: the name leaves the directory", entry.name.c_str());
      table.Finish(i, false);
      continue;
    }
    if (!names.Claim(entry.name)) {
      table.Finish(i, false);
      continue;
    }
    // Without the signed manifest's hash no download can be trusted: not even asked for.
    if (!util::IsSha256Hex(entry.sha256)) {
      util::LogWarning("refused to download %s: the due list gives no SHA-256 for it", entry.name.c_str());
      table.Finish(i, false);
      continue;
    }
    namesToInstall.push_back(entry.name);
    downloads[i] = DownloadPath(directory + "\\" + entry.name);
    for (Text& folder : CreateParentFolders(directory, entry.name)) createdFolders.push_back(std::move(folder));
    try {
      threadRows.push_back(i);
      threads.emplace_back([shared, tablePointer, i, entry, path = downloads[i], limits]() noexcept {
        ProgressTable& rowTable = *tablePointer;
        bool ok = false;
        try {
          ok = DownloadToFile(
              entry.address, path, limits.download,
              [&rowTable, i](std::int64_t received, std::int64_t total) { rowTable.Progress(i, received, total); },
              &shared->cancels[i]);
          if (ok && !IsExpectedDownload(path, entry.name, entry.version, entry.sha256)) {
            if (!::DeleteFileA(path.c_str())) util::LogLastError("DeleteFileA (refused download)");
            ok = false;
          }
          util::Log(ok ? util::LogLevel::kInfo : util::LogLevel::kWarning, "download of %s: %s", entry.name.c_str(),
                    ok ? "complete" : "failed");
        } catch (...) {
          util::LogCaughtException("the download thread");
          ok = false;
        }
        rowTable.Finish(i, ok);
      });
    } catch (...) {
      util::LogCaughtException("starting a download thread");
      if (threadRows.size() > threads.size()) threadRows.pop_back();
      table.Finish(i, false);
    }
  }

  // Every row ends: WinHttp's time-outs end a quiet request, and the watchdog aborts one
  // that keeps its connection without moving. A thread that still does not end is left.
  std::vector<DWORD> cancelledAt(entries.size(), 0);
  for (;;) {
    const std::vector<RowStatus> rows = table.Snapshot();
    if (AllFinished(rows)) break;
    const DWORD now = ::GetTickCount();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].phase != RowPhase::kRunning) continue;
      if (cancelledAt[i] == 0 && now - rows[i].lastChange > limits.watchdogMs) {
        util::LogWarning("download of %s has not moved for %lu ms: cancelled", entries[i].name.c_str(),
                         limits.watchdogMs);
        shared->cancels[i].Cancel();
        cancelledAt[i] = now | 1;
      } else if (cancelledAt[i] != 0 && now - cancelledAt[i] > limits.watchdogMs) {
        util::LogWarning("download of %s did not end after its cancel: given up", entries[i].name.c_str());
        table.Finish(i, false);
        givenUp[i] = true;
      }
    }
    ::Sleep(limits.pollMs);
  }

  const std::vector<RowStatus> rows = table.Snapshot();
  bool allCompleted = true;
  for (const RowStatus& row : rows) allCompleted = allCompleted && row.phase == RowPhase::kCompleted;

  // A row given up on may still have its thread: that one is not waited for.
  for (std::thread& thread : threads) {
    if (givenUp[threadRows[&thread - threads.data()]]) thread.detach();
    else thread.join();
  }

  if (!allCompleted) {
    util::LogWarning("not every download completed: no file is replaced");
    for (const Text& download : downloads) {
      if (!download.empty() && !::DeleteFileA(download.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        util::LogLastError("DeleteFileA (download)");
    }
    RemoveFolders(createdFolders);
    return false;
  }
  if (ReplaceFiles(directory, namesToInstall, limits.afterInstallStep)) return true;
  RemoveFolders(createdFolders);
  return false;
}

bool RunUpdateJobAndNote(const Text& directory, const Text& dueList, const std::vector<update::DueEntry>& entries,
                         const JobLimits& limits, const std::shared_ptr<ProgressTable>& table) {
  const bool replaced = RunUpdateJob(directory, entries, limits, table);
  if (replaced) {
    if (!update::RemoveFailedUpdateRecord(directory))
      util::LogWarning("the old failed-update note stays: the program may start once without this update");
  } else if (update::WriteFailedUpdateRecord(directory, {update::FailedUpdateRecord::State::kFailed, dueList})) {
    util::LogInfo("the failed due list is noted: the program's next start will not hand it straight back");
  } else {
    util::LogWarning("the failed due list could not be noted: the program may hand it straight back");
  }
  return replaced;
}

}  // namespace updater
