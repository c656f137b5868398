// The updater's downloads and replacement against a loopback server: either every file is
// replaced, or every old file stays byte for byte and nothing is left beside them.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "loopback_server.h"
#include "manifest_signer.h"
#include "test_files.h"
#include "tests/support/log_capture.h"
#include "update/failed_update.h"
#include "update/handoff_files.h"
#include "update/manifest.h"
#include "updater/install.h"
#include "updater/update_job.h"

using namespace testing_update;

namespace {

std::string Fixture(const std::string& name) { return ReadBytes(ExecutableDirectory() + "\\update_fixtures\\" + name); }

class UpdaterJob : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    root = FreshDirectory("tandrel-job");
    app = root + "\\app";
    ASSERT_TRUE(::CreateDirectoryA(app.c_str(), nullptr));
    oldExe = Fixture("v1_0_0_1.dll");
    newExe = Fixture("v1_0_0_2.dll");
    ASSERT_FALSE(oldExe.empty());
    ASSERT_TRUE(WriteBytes(app + "\\tandrel.exe", oldExe));
    ASSERT_TRUE(WriteBytes(app + "\\data.dat", "old data"));
    Answer exe;
    exe.body = newExe;
    server.Set("/f/tandrel.exe", exe);
    Answer data;
    data.body = std::string(200000, 'n');
    server.Set("/f/data.dat", data);
    before = Snapshot(root);
  }
  void TearDown() override {
    server.Stop();
    RemoveTree(root);
  }

  // A due entry with the hash of what the server answers for path right now.
  update::DueEntry Entry(const std::string& name, const std::string& path, const std::string& version) const {
    return {name, server.Address(path), version, Sha256HexOf(server.BodyOf(path))};
  }
  std::vector<update::DueEntry> Entries(const std::string& exeVersion = "1.0.0.2") const {
    return {Entry("tandrel.exe", "/f/tandrel.exe", exeVersion), Entry("data.dat", "/f/data.dat", "")};
  }

  bool Run(const std::vector<update::DueEntry>& entries, const Text* noteDueList = nullptr) {
    updater::JobLimits limits;
    limits.download.connectTimeoutMs = 3000;
    limits.download.stallTimeoutMs = 2000;
    limits.watchdogMs = 8000;
    limits.pollMs = 100;
    table = std::make_shared<updater::ProgressTable>();
    const DWORD start = ::GetTickCount();
    bool replaced = noteDueList ? updater::RunUpdateJobAndNote(app, *noteDueList, entries, limits, table)
                                : updater::RunUpdateJob(app, entries, limits, table);
    elapsedMs = ::GetTickCount() - start;
    return replaced;
  }

  int FailedRows() const {
    int failed = 0;
    for (const auto& row : table->Snapshot()) failed += row.phase == updater::RowPhase::kFailed;
    return failed;
  }

  LoopbackServer server;
  std::string root, app, oldExe, newExe;
  std::map<std::string, std::string> before;
  std::shared_ptr<updater::ProgressTable> table;
  DWORD elapsedMs = 0;
};

TEST_F(UpdaterJob, ReplacesEveryFileAndLeavesNothingElse) {
  Answer data;
  data.body = "new data without a length";
  data.contentLength = false;  // complete when the body ends normally
  server.Set("/f/data.dat", data);
  testlog::LogCapture log;
  ASSERT_TRUE(Run(Entries()));
  for (const char* line : {"download of tandrel.exe: complete", "download of data.dat: complete", "replaced 2 files"})
    EXPECT_TRUE(log.Contains(line)) << line << "\n" << log.Lines();
  const auto after = Snapshot(root);
  const std::map<std::string, std::string> expected = {
      {"app\\", ""}, {"app\\tandrel.exe", newExe}, {"app\\data.dat", "new data without a length"}};
  EXPECT_EQ(after, expected);
  // Both downloads were asked for as the updater asks.
  for (const std::string& request : server.Requests()) {
    EXPECT_EQ(HeaderValue(request, "Range"), "bytes=0-") << request;
    EXPECT_EQ(HeaderValue(request, "User-Agent"),
              "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/76.0.3809.132 Safari/537.36");
    EXPECT_NE(request.find(" HTTP/1.1\r\n"), std::string::npos);
  }
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(UpdaterJob, AProgramFolderOutsideDriveLetterPathsIsUpdated) {
  app = "\\\\?\\" + app;  // stands in for "\\server\share\..."
  ASSERT_TRUE(Run(Entries()));
  EXPECT_TRUE(ReadBytes(root + "\\app\\tandrel.exe") == newExe);
  EXPECT_EQ(ReadBytes(root + "\\app\\data.dat"), std::string(200000, 'n'));
}

struct Fault {
  const char* what;
  Answer::Fault fault;
  int status;
  std::size_t faultAfter;
  std::string body;
};

TEST_F(UpdaterJob, AFailedDownloadLeavesEveryOldFileIntact) {
  const Fault faults[] = {
      {"server closes after part of the file", Answer::Fault::kCloseEarly, 200, 1000, std::string(200000, 'n')},
      {"404 for one file", Answer::Fault::kNone, 404, 0, "not here"},
      {"500", Answer::Fault::kNone, 500, 0, "broken"},
      {"stalled response", Answer::Fault::kStall, 200, 1000, std::string(200000, 'n')},
      {"empty body", Answer::Fault::kNone, 200, 0, ""},
  };
  for (const Fault& f : faults) {
    Answer data;
    data.status = f.status;
    data.fault = f.fault;
    data.faultAfter = f.faultAfter;
    data.body = f.body;
    server.Set("/f/data.dat", data);
    testlog::LogCapture log;
    EXPECT_FALSE(Run(Entries())) << f.what;
    EXPECT_TRUE(log.Contains("download of data.dat: failed")) << f.what << "\n" << log.Lines();
    EXPECT_TRUE(log.Contains("not every download completed: no file is replaced")) << f.what;
    EXPECT_EQ(Snapshot(root), before) << f.what;
    EXPECT_EQ(FailedRows(), 1) << f.what;
    EXPECT_LT(elapsedMs, 30000u) << f.what;
  }
}

// The note keeps the program from handing a list that just failed straight back to us.
TEST_F(UpdaterJob, AFailedJobNotesItsDueListAndAJobThatReplacesRemovesTheNote) {
  const Text dueList =
      update::DueLine({"tandrel.exe", "1.0.0.2", server.Address("/f/tandrel.exe"), Sha256HexOf(newExe)}) +
      update::DueLine({"data.dat", "", server.Address("/f/data.dat"), Sha256HexOf("new data")});
  const std::vector<update::DueEntry> entries = update::ParseDueList(dueList);
  ASSERT_EQ(entries.size(), 2u);
  const std::string notePath = app + "\\" + update::kFailedUpdateFile;

  Answer missing;
  missing.status = 404;
  server.Set("/f/data.dat", missing);
  {
    testlog::LogCapture log;
    EXPECT_FALSE(Run(entries, &dueList));
    EXPECT_TRUE(log.Contains("the failed due list is noted")) << log.Lines();
  }
  EXPECT_EQ(ReadBytes(notePath), "failed\r\n" + dueList);
  EXPECT_EQ(update::DecideHandOff(update::ReadFailedUpdateRecord(app), dueList),
            update::HandOffDecision::kStartNormally);

  Answer data;
  data.body = "new data";
  server.Set("/f/data.dat", data);
  EXPECT_TRUE(Run(entries, &dueList));
  EXPECT_FALSE(Exists(notePath));
  EXPECT_EQ(ReadBytes(app + "\\data.dat"), "new data");
}

// The signed manifest pins each file by its SHA-256: bytes that differ (a changed file on the
// server, or one put in on the way) replace nothing, and without a hash nothing is asked for.
TEST_F(UpdaterJob, AFileWhoseBytesDifferFromItsHashReplacesNothing) {
  struct Case {
    const char* what;
    std::string dataHash;
    std::size_t requests;  // how many downloads reached the server
  } cases[] = {
      {"the hash of other bytes", Sha256HexOf("what the manifest was signed for"), 2},
      {"one digit of the right hash changed", [this] {
         std::string hash = Sha256HexOf(server.BodyOf("/f/data.dat"));
         hash[10] = hash[10] == '0' ? '1' : '0';
         return hash;
       }(), 2},
      {"no hash", "", 1},
      {"a hash one digit short", Sha256HexOf(server.BodyOf("/f/data.dat")).substr(1), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.Clear();
    Answer exe;
    exe.body = newExe;
    server.Set("/f/tandrel.exe", exe);
    Answer data;
    data.body = std::string(200000, 'n');
    server.Set("/f/data.dat", data);
    auto entries = Entries();
    entries[1].sha256 = c.dataHash;
    testlog::LogCapture log;
    EXPECT_FALSE(Run(entries));
    EXPECT_EQ(Snapshot(root), before) << log.Lines();
    EXPECT_EQ(FailedRows(), 1);
    EXPECT_EQ(server.Requests().size(), c.requests);
  }
  // The control: the right hash, in capitals as well, installs.
  auto entries = Entries();
  for (char& ch : entries[1].sha256) ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
  EXPECT_TRUE(Run(entries));
  EXPECT_EQ(ReadBytes(app + "\\data.dat"), std::string(200000, 'n'));
}

TEST_F(UpdaterJob, NamesOutsideTheDirectoryAreNeverDownloaded) {
  const std::string outside = root + "\\evil.dat";
  const char* const names[] = {"..\\evil.dat", "sub\\..\\..\\evil.dat", "NUL", "COM1.dat", "\\\\127.0.0.1\\c$\\evil"};
  std::vector<std::string> tried(std::begin(names), std::end(names));
  tried.push_back(outside);  // an absolute name
  for (const std::string& name : tried) {
    server.Clear();
    Answer data;
    data.body = "evil";
    server.Set("/f/data.dat", data);
    Answer exe;
    exe.body = newExe;
    server.Set("/f/tandrel.exe", exe);
    auto entries = Entries();
    entries.push_back(Entry(name, "/f/data.dat", ""));
    EXPECT_FALSE(Run(entries)) << name;
    EXPECT_EQ(Snapshot(root), before) << name;
    EXPECT_EQ(FailedRows(), 1) << name;
    // The bad line itself never reached the server (only the two good ones did).
    EXPECT_EQ(server.Requests().size(), 2u) << name;
  }
}

TEST_F(UpdaterJob, EntriesNamingAFileAlreadyListedOrAWorkFileAreRefusedBeforeAnyDownload) {
  ASSERT_TRUE(::CreateDirectoryA((app + "\\sub").c_str(), nullptr));
  before = Snapshot(root);
  const std::vector<std::vector<std::string>> extras = {
      {"TANDREL.EXE"}, {"Tandrel.Exe"}, {"tandrel.exe.gxtmp"}, {"data.dat.GXBAK"}, {"sub/x.dat", "sub\\x.dat"},
  };
  for (const auto& names : extras) {
    server.Clear();
    Answer data;
    data.body = "other";
    server.Set("/f/data.dat", data);
    Answer exe;
    exe.body = newExe;
    server.Set("/f/tandrel.exe", exe);
    auto entries = Entries();
    for (const std::string& name : names) entries.push_back(Entry(name, "/f/data.dat", ""));
    EXPECT_FALSE(Run(entries)) << names.back();
    EXPECT_TRUE(Snapshot(root) == before) << names.back();
    EXPECT_EQ(FailedRows(), 1) << names.back();
    // Only the entries naming a file of their own reached the server.
    EXPECT_EQ(server.Requests().size(), 2u + names.size() - 1) << names.back();
  }
}

TEST_F(UpdaterJob, ADownloadWithAnotherVersionThanTheManifestsIsRefused) {
  Answer exe;
  exe.body = Fixture("v1_0_0_3.dll");
  server.Set("/f/tandrel.exe", exe);
  EXPECT_FALSE(Run(Entries("1.0.0.2")));
  EXPECT_EQ(Snapshot(root), before);
  EXPECT_EQ(FailedRows(), 1);
}

// The image of another architecture than this build's: the PE header's machine field swapped.
std::string OtherArchitecture(std::string image) {
  const std::size_t pe = static_cast<unsigned char>(image[0x3C]) | static_cast<unsigned char>(image[0x3D]) << 8;
#ifdef _WIN64
  const WORD other = IMAGE_FILE_MACHINE_I386;
#else
  const WORD other = IMAGE_FILE_MACHINE_AMD64;
#endif
  image[pe + 4] = static_cast<char>(other & 0xFF);
  image[pe + 5] = static_cast<char>(other >> 8);
  return image;
}

TEST_F(UpdaterJob, AProgramFileMustBeAnImageOfThisArchitectureWithTheNamedVersion) {
  std::string noPeSignature = newExe;
  noPeSignature[static_cast<unsigned char>(newExe[0x3C]) | static_cast<unsigned char>(newExe[0x3D]) << 8] = 'X';
  struct Case {
    const char* what;
    std::string body;
    const char* version;
  };
  const Case cases[] = {
      {"an error page served with 200", "<html><body>502 Bad Gateway</body></html>", "1.0.0.2"},
      {"an image of the other architecture", OtherArchitecture(newExe), "1.0.0.2"},
      {"MZ without a PE signature", noPeSignature, "1.0.0.2"},
      {"an image without a version resource", Fixture("plain.dll"), "1.0.0.2"},
      {"an error page where the manifest names no version", "<html>oops</html>", ""},
  };
  for (const Case& c : cases) {
    Answer exe;
    exe.body = c.body;
    server.Set("/f/tandrel.exe", exe);
    testlog::LogCapture log;
    EXPECT_FALSE(Run(Entries(c.version))) << c.what;
    EXPECT_TRUE(log.Contains("download of tandrel.exe: failed")) << c.what << "\n" << log.Lines();
    EXPECT_TRUE(Snapshot(root) == before) << c.what;  // binary images: not printed
    EXPECT_EQ(FailedRows(), 1) << c.what;
  }
}

TEST_F(UpdaterJob, ALockedTargetPutsBackEveryFileAlreadyReplaced) {
  // data.dat comes second: tandrel.exe is already in place when its rename fails.
  const std::string eventName = "tandrel-test-holder-" + std::to_string(::GetCurrentProcessId());
  HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  std::string command = "\"" + ExecutableDirectory() + "\\update_file_holder.exe\" \"" + app + "\\data.dat\" " + eventName;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION holder{};
  ASSERT_TRUE(::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder));
  ASSERT_EQ(::WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);

  testlog::LogCapture log;
  EXPECT_FALSE(Run(Entries()));
  // The held file can be neither copied aside nor replaced; whichever fails first ends the job.
  EXPECT_TRUE(log.Contains("CopyFileA failed: error ") || log.Contains("MoveFileExA failed: error ")) << log.Lines();
  EXPECT_TRUE(log.Contains("replacing the files failed: every old file is put back")) << log.Lines();

  ::TerminateProcess(holder.hProcess, 0);
  ::WaitForSingleObject(holder.hProcess, 10000);
  ::CloseHandle(holder.hProcess);
  ::CloseHandle(holder.hThread);
  ::CloseHandle(ready);
  EXPECT_EQ(Snapshot(root), before);
  EXPECT_EQ(FailedRows(), 0) << "the downloads themselves completed";
}

TEST_F(UpdaterJob, AFailedJobLeavesNoFolderBehindAndTwoByteNamesKeepTheirTrailByte) {
  // "乗" is 0x81 0x5C in GBK: its trail byte is the separator's byte, yet no separator.
  struct Case {
    const char* name;
    int status;
    const char* expectedEntry;  // in the snapshot after the job; nullptr: nothing new
  };
  const Case cases[] = {
      {"乗.dat", 404, nullptr},
      {"new\\deep\\a.dat", 404, nullptr},
      {"乗\\乗.dat", 404, nullptr},
      {"乗.dat", 200, "app\\乗.dat"},
  };
  for (const Case& c : cases) {
    Answer extra;
    extra.status = c.status;
    extra.body = "extra";
    server.Set("/f/extra", extra);
    auto entries = Entries();
    entries.push_back(Entry(c.name, "/f/extra", ""));
    EXPECT_EQ(Run(entries), c.status == 200) << c.name;
    std::map<std::string, std::string> expected = before;
    if (c.expectedEntry) {
      expected = {{"app\\", ""}, {"app\\tandrel.exe", newExe}, {"app\\data.dat", std::string(200000, 'n')},
                  {c.expectedEntry, "extra"}};
    }
    EXPECT_TRUE(Snapshot(root) == expected) << c.name << ": " << Snapshot(root).size() << " entries";
    RemoveTree(app);
    ASSERT_TRUE(::CreateDirectoryA(app.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(app + "\\tandrel.exe", oldExe));
    ASSERT_TRUE(WriteBytes(app + "\\data.dat", "old data"));
  }
}

TEST_F(UpdaterJob, ADownloadInProgressCanBeDeletedByTheJob) {
  // A download thread given up on still holds its file: the job must still be able to delete it.
  Answer stall;
  stall.fault = Answer::Fault::kStall;
  stall.faultAfter = 1000;
  stall.body = std::string(200000, 's');
  server.Set("/f/stall", stall);
  const std::string path = app + "\\stall.dat.gxtmp";
  updater::DownloadLimits limits;
  limits.stallTimeoutMs = 8000;
  updater::DownloadCancel cancel;
  std::atomic<bool> started{false};
  std::thread download([&] {
    updater::DownloadToFile(server.Address("/f/stall"), path, limits,
                            [&](std::int64_t, std::int64_t) { started = true; }, &cancel);
  });
  // The first report comes once the response has begun, with the file open.
  for (int i = 0; i < 100 && !started; ++i) ::Sleep(50);
  ASSERT_TRUE(started.load()) << "the download never began";
  const bool deleted = ::DeleteFileA(path.c_str()) != FALSE;
  const DWORD error = ::GetLastError();
  cancel.Cancel();
  download.join();
  EXPECT_TRUE(deleted) << "error " << error;
  EXPECT_FALSE(Exists(path));
}

TEST(ReplaceFiles, NewFilesAreTakenAwayAgainWhenALaterRenameFails) {
  const std::string dir = FreshDirectory("tandrel-replace");
  ASSERT_TRUE(WriteBytes(dir + "\\new.dat.gxtmp", "new"));
  // The second download is missing: nothing may stay of the first one.
  const bool ok = updater::ReplaceFiles(dir, {"new.dat", "gone.dat"});
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Snapshot(dir).empty());
  RemoveTree(dir);
}

// A journal still there means a recovery could not finish (a file was held): it must survive
// for the next start, so nothing is installed over it.
TEST(ReplaceFiles, AnUnfinishedEarlierInstallationIsNotWrittenOver) {
  const std::string dir = FreshDirectory("tandrel-replace-journal");
  const std::string journal = "phase rollback\r\n<target>x.dat</target><backup>x.dat.gxbak</backup>"
                              "<download>x.dat.gxtmp</download><size>3</size><old>1</old>\r\n";
  ASSERT_TRUE(WriteBytes(dir + "\\" + update::kInstallJournalFile, journal));
  ASSERT_TRUE(WriteBytes(dir + "\\x.dat.gxbak", "old"));
  ASSERT_TRUE(WriteBytes(dir + "\\a.dat", "old a"));
  ASSERT_TRUE(WriteBytes(dir + "\\a.dat.gxtmp", "new a"));
  testlog::LogCapture log;
  EXPECT_FALSE(updater::ReplaceFiles(dir, {"a.dat"}));
  EXPECT_TRUE(log.Contains("an earlier installation is not finished yet")) << log.Lines();
  const std::map<std::string, std::string> expected = {
      {update::kInstallJournalFile, journal}, {"x.dat.gxbak", "old"}, {"a.dat", "old a"}};
  EXPECT_EQ(Snapshot(dir), expected);
  RemoveTree(dir);
}

}  // namespace
