// The update check against the loopback server: what it fetched, what it decided, and that it
// leaves the acting (texts, units, hand-off, the way out) to its caller. The hand-off's files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "loopback_server.h"
#include "test_files.h"
#include "update/handoff.h"
#include "update/update_check.h"

using testing_update::Answer;
using testing_update::LoopbackServer;
using Kind = update::UpdateOutcome::Kind;

namespace {

const std::vector<std::string> kThreeFetches = {"/tandrel/gxdata/lianxixinxi.dat", "/tandrel/gxdata/tblianjie.dat",
                                                "/tandrel/gxdata/txgeng.dat"};

void Serve(LoopbackServer& server, const std::string& contact, const std::string& link, const std::string& manifest) {
  Answer a;
  a.body = contact;
  server.Set("/tandrel/gxdata/lianxixinxi.dat", a);
  a.body = link;
  server.Set("/tandrel/gxdata/tblianjie.dat", a);
  a.body = manifest;
  server.Set("/tandrel/gxdata/txgeng.dat", a);
}

std::string Host(const LoopbackServer& server) { return "127.0.0.1:" + std::to_string(server.Port()); }

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_update::FreshDirectory("update_check"); }
  void TearDown() override { testing_update::RemoveTree(dir_); }
  std::string dir_;
};

// The built-in host of this test program is the loopback server on the tests' port.
TEST_F(UpdateCheck, BuiltInHostTextsArriveAsGbkAndALinkOfSpacesIsKept) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  Serve(server, u8"联系人：小明 QQ 10001", "   ", "");
  const update::UpdateOutcome outcome = update::CheckForUpdates(dir_);
  EXPECT_EQ(outcome.kind, Kind::kNothingDue) << "an empty manifest from a reachable server";
  EXPECT_EQ(outcome.contactText, "联系人：小明 QQ 10001");  // this literal is GBK at run time
  EXPECT_EQ(outcome.linkAddress, "   ");
  EXPECT_EQ(outcome.dueList, "");
  EXPECT_EQ(server.RequestedPaths(), kThreeFetches);
}

TEST_F(UpdateCheck, ManifestDecidesBetweenNothingDueAndAForcedUpdate) {
  const std::string address = "http://127.0.0.1/f";
  struct Case {
    const char* what;
    std::string manifest;
    Kind kind;
    int dueFiles;
    std::string dueList;
  } cases[] = {
      {"lines that can never be due: no name, names leaving the directory, a device",
       "\r\n<banben>1.0</banben><dizhi>" + address + "</dizhi>\r\n<yingyong>..\\x.exe</yingyong><dizhi>" + address +
           "</dizhi>\r\n<yingyong>C:\\x.exe</yingyong><dizhi>" + address + "</dizhi>\r\n<yingyong>NUL</yingyong><dizhi>" +
           address + "</dizhi>\r\n",
       Kind::kNothingDue, 0, ""},
      {"a missing file without version but with an address",
       "<yingyong>new.dat</yingyong><dizhi>" + address + "</dizhi>", Kind::kForcedUpdate, 1,
       "<wjmc>new.dat</wjmc><wjdz>" + address + "</wjdz>\r\n"},
      {"two missing files, in manifest order",
       "<yingyong>b.dll</yingyong><banben>1.0.0.2</banben><dizhi>" + address + "/b</dizhi>\r\n"
       "<yingyong>a.dat</yingyong><dizhi>" + address + "/a</dizhi>\r\n",
       Kind::kForcedUpdate, 2,
       "<wjmc>b.dll</wjmc><wjdz>" + address + "/b</wjdz><wjbb>1.0.0.2</wjbb>\r\n<wjmc>a.dat</wjmc><wjdz>" + address +
           "/a</wjdz>\r\n"},
  };
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(server, "", "", c.manifest);
    const update::UpdateOutcome outcome = update::CheckForUpdatesAt(Host(server), dir_);
    EXPECT_EQ(outcome.kind, c.kind);
    EXPECT_EQ(outcome.dueFileCount, c.dueFiles);
    EXPECT_EQ(outcome.dueList, c.dueList);
    // Deciding writes nothing: the hand-off files are the caller's step.
    EXPECT_FALSE(testing_update::Exists(dir_ + "\\gxwj.bin"));
    EXPECT_FALSE(testing_update::Exists(dir_ + "\\sdhwt.ini"));
  }
}

TEST_F(UpdateCheck, UnreachableServerIsToldApartAndNothingIsDue) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  const std::string host = Host(server);
  server.Stop();  // nothing listens on the port now
  const DWORD start = ::GetTickCount();
  const update::UpdateOutcome outcome = update::CheckForUpdatesAt(host, dir_);
  EXPECT_LT(::GetTickCount() - start, 20000u);
  EXPECT_EQ(outcome.kind, Kind::kServerUnreachable);
  EXPECT_EQ(outcome.contactText, "");
  EXPECT_EQ(outcome.linkAddress, "");
  EXPECT_EQ(outcome.dueList, "");
}

TEST_F(UpdateCheck, WithoutAHostNothingIsFetched) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  Serve(server, "contact", "http://example.invalid/", "<yingyong>new.dat</yingyong><dizhi>http://x/</dizhi>");
  const update::UpdateOutcome outcome = update::CheckForUpdatesAt("", dir_);
  EXPECT_EQ(outcome.kind, Kind::kNoServerHost);
  EXPECT_EQ(outcome.contactText, "");
  EXPECT_EQ(outcome.dueList, "");
  EXPECT_TRUE(server.RequestedPaths().empty());
}

TEST_F(UpdateCheck, HandoffFilesNameTheProgramAndHoldTheDueListExactly) {
  const std::string dueList = "<wjmc>a.dat</wjmc><wjdz>http://127.0.0.1/a</wjdz>\r\n";
  ASSERT_TRUE(update::WriteHandoffFiles(dir_, dueList));
  char value[64] = {};
  ::GetPrivateProfileStringA("tysj", "yxmc", "", value, sizeof value, (dir_ + "\\sdhwt.ini").c_str());
  EXPECT_STREQ(value, "tandrel.exe");
  EXPECT_EQ(testing_update::ReadBytes(dir_ + "\\gxwj.bin"), dueList);
}

TEST_F(UpdateCheck, HandoffFilesInADirectoryThatIsNotThereFailAndLeaveNothing) {
  const std::string missing = dir_ + "\\not there";
  EXPECT_FALSE(update::WriteHandoffFiles(missing, "<wjmc>a</wjmc><wjdz>b</wjdz>\r\n"));
  EXPECT_FALSE(testing_update::Exists(missing));
  // This test program carries no updater image: there is nothing to write out.
  EXPECT_FALSE(update::WriteUpdater(dir_));
  EXPECT_FALSE(testing_update::Exists(dir_ + "\\Hgxcx.exe"));
}

}  // namespace
