// The updater's downloads against servers that never end a body: each download has a deadline
// from its size, so neither a trickle nor an endless body keeps the updater from finishing.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "loopback_server.h"
#include "test_files.h"
#include "tests/support/log_capture.h"
#include "update/manifest.h"
#include "updater/download.h"
#include "updater/update_job.h"

using namespace testing_update;

namespace {

updater::DownloadLimits QuickLimits() {
  updater::DownloadLimits limits;
  limits.connectTimeoutMs = 3000;
  limits.stallTimeoutMs = 2000;
  limits.minimumBytesPerSecond = 1000;
  return limits;
}

TEST(DownloadDeadline, IsTheStallLimitPlusTheSizeAtTheMinimumRate) {
  updater::DownloadLimits limits;
  limits.stallTimeoutMs = 15000;
  limits.minimumBytesPerSecond = 4096;
  struct Case {
    std::int64_t size;
    std::uint64_t ms;
  } cases[] = {
      {-1, 15000},                         // no bytes yet, no length
      {0, 15000},
      {2048, 15500},                       // half a second's worth
      {4096 * 600, 15000 + 600000},        // a 2.4 MB program file: ten minutes more
      {std::int64_t{1} << 30, 15000 + 262144000ull},
  };
  for (const Case& c : cases) EXPECT_EQ(updater::DownloadDeadlineMs(c.size, limits), c.ms) << c.size;
  EXPECT_EQ(updater::DownloadDeadlineMs(INT64_MAX, limits) > 262144000ull, true) << "no wrap-around";
}

class DownloadLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    dir = FreshDirectory("tandrel-download-limits");
  }
  void TearDown() override {
    server.Stop();
    RemoveTree(dir);
  }
  LoopbackServer server;
  std::string dir;
};

// 2000 bytes at 1000 per second plus the 2 s stall limit: 4 s for the body. The trickle
// (a byte every 300 ms, well inside the stall limit) would need ten minutes.
TEST_F(DownloadLimitsTest, ATrickleIsEndedByTheDeadlineWithOrWithoutALength) {
  for (bool contentLength : {true, false}) {
    SCOPED_TRACE(contentLength ? "with Content-Length" : "without Content-Length");
    Answer trickle;
    trickle.body = std::string(2000, 't');
    trickle.contentLength = contentLength;
    trickle.fault = Answer::Fault::kTrickle;
    trickle.faultAfter = 10;
    trickle.trickleIntervalMs = 300;
    server.Set("/f/slow.dat", trickle);
    testlog::LogCapture log;
    const std::string path = dir + "\\slow.dat.part";
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(updater::DownloadToFile(server.Address("/f/slow.dat"), path, QuickLimits(), nullptr, nullptr));
    const ULONGLONG took = ::GetTickCount64() - start;
    // With a length: 4 s; without: 2 s plus what arrived (a few bytes) at the rate.
    EXPECT_LT(took, 4000u + 2000u + 1000u);
    EXPECT_TRUE(log.Contains("passed its deadline")) << log.Lines();
    EXPECT_FALSE(Exists(path)) << "nothing half-written stays behind";
  }
}

TEST_F(DownloadLimitsTest, ABodyAtARateAboveTheMinimumIsDownloaded) {
  Answer answer;
  answer.body = std::string(300000, 'b');
  server.Set("/f/ok.dat", answer);
  const std::string path = dir + "\\ok.dat";
  ASSERT_TRUE(updater::DownloadToFile(server.Address("/f/ok.dat"), path, QuickLimits(), nullptr, nullptr));
  EXPECT_EQ(ReadBytes(path), answer.body);
}

TEST_F(DownloadLimitsTest, ABodyOverTheMaximumIsRefusedAnnouncedOrNot) {
  for (bool chunked : {false, true}) {
    SCOPED_TRACE(chunked ? "chunked" : "with Content-Length");
    Answer huge;
    huge.generatedBodyBytes = 300ull << 20;
    huge.chunked = chunked;
    server.Set("/f/huge.dat", huge);
    updater::DownloadLimits limits = QuickLimits();
    limits.maximumBytes = 1 << 20;
    limits.minimumBytesPerSecond = 1 << 20;
    testlog::LogCapture log;
    const std::string path = dir + "\\huge.dat";
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(updater::DownloadToFile(server.Address("/f/huge.dat"), path, limits, nullptr, nullptr));
    EXPECT_LT(::GetTickCount64() - start, 10000u);
    EXPECT_TRUE(log.Contains("bytes a download may have")) << log.Lines();
    EXPECT_FALSE(Exists(path));
  }
}

// The whole job: one row trickles, keeping its progress moving so that the watchdog (which
// only sees rows that stand still) never fires; the deadline ends it and no file is replaced.
TEST_F(DownloadLimitsTest, AJobWithATricklingDownloadEndsAndReplacesNothing) {
  ASSERT_TRUE(WriteBytes(dir + "\\a.dat", "old a"));
  ASSERT_TRUE(WriteBytes(dir + "\\b.dat", "old b"));
  Answer quick;
  quick.body = "new a";
  server.Set("/f/a.dat", quick);
  Answer trickle;
  trickle.body = std::string(2000, 't');
  trickle.fault = Answer::Fault::kTrickle;
  trickle.faultAfter = 10;
  trickle.trickleIntervalMs = 300;
  server.Set("/f/b.dat", trickle);

  updater::JobLimits limits;
  limits.download = QuickLimits();
  limits.watchdogMs = 60000;  // longer than the deadline: only the deadline can end the row
  limits.pollMs = 100;
  auto table = std::make_shared<updater::ProgressTable>();
  const std::vector<update::DueEntry> entries = {{"a.dat", server.Address("/f/a.dat"), ""},
                                                 {"b.dat", server.Address("/f/b.dat"), ""}};
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_FALSE(updater::RunUpdateJob(dir, entries, limits, table));
  EXPECT_LT(::GetTickCount64() - start, 10000u);
  EXPECT_EQ(ReadBytes(dir + "\\a.dat"), "old a");
  EXPECT_EQ(ReadBytes(dir + "\\b.dat"), "old b");
  const auto files = Snapshot(dir);
  EXPECT_EQ(files.size(), 2u) << "no download is left beside the old files";
}

}  // namespace
