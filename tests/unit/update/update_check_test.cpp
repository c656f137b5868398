// The update check against the loopback server: what it fetched, what it decided, and that it
// leaves the acting (texts, units, hand-off, the way out) to its caller. The hand-off's files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "loopback_server.h"
#include "manifest_signer.h"
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
  testing_update::ServeSignedManifest(server, manifest);
}

// Any well-formed hash: the check only carries it on to the updater.
const std::string kHash = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
std::string HashTag() { return "<sha256>" + kHash + "</sha256>"; }

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
       "\r\n<banben>1.0</banben><dizhi>" + address + "</dizhi>" + HashTag() + "\r\n<yingyong>..\\x.exe</yingyong><dizhi>" +
           address + "</dizhi>" + HashTag() + "\r\n<yingyong>C:\\x.exe</yingyong><dizhi>" + address + "</dizhi>" +
           HashTag() + "\r\n<yingyong>NUL</yingyong><dizhi>" + address + "</dizhi>" + HashTag() + "\r\n",
       Kind::kNothingDue, 0, ""},
      {"a missing file without version but with an address",
       "<yingyong>new.dat</yingyong><dizhi>" + address + "</dizhi>" + HashTag(), Kind::kForcedUpdate, 1,
       "<wjmc>new.dat</wjmc><wjdz>" + address + "</wjdz>" + HashTag() + "\r\n"},
      {"the same without its hash, or with a hash one digit short",
       "<yingyong>new.dat</yingyong><dizhi>" + address + "</dizhi>\r\n<yingyong>b.dat</yingyong><dizhi>" + address +
           "</dizhi><sha256>" + kHash.substr(1) + "</sha256>\r\n",
       Kind::kNothingDue, 0, ""},
      {"two missing files, in manifest order, the hash's case folded",
       "<yingyong>b.dll</yingyong><banben>1.0.0.2</banben><dizhi>" + address + "/b</dizhi><sha256>" +
           "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF</sha256>\r\n"
           "<yingyong>a.dat</yingyong><dizhi>" + address + "/a</dizhi>" + HashTag() + "\r\n",
       Kind::kForcedUpdate, 2,
       "<wjmc>b.dll</wjmc><wjdz>" + address + "/b</wjdz><wjbb>1.0.0.2</wjbb>" + HashTag() + "\r\n<wjmc>a.dat</wjmc><wjdz>" +
           address + "/a</wjdz>" + HashTag() + "\r\n"},
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

// Anyone on the way to the server could change the manifest: only the built-in key's signature
// over its exact bytes makes it count. Otherwise nothing is due, nothing is written, and the
// rest of the check (the texts) goes on.
TEST_F(UpdateCheck, AManifestWithoutTheBuiltInKeysSignatureCountsAsEmpty) {
  const std::string manifest =
      "<yingyong>new.dat</yingyong><dizhi>http://127.0.0.1/f</dizhi>" + HashTag() + "\r\n";
  const std::string signature = testing_update::SignManifest(manifest);
  ASSERT_FALSE(signature.empty());
  std::string changed = manifest;
  changed[changed.find("new.dat")] = 'N';
  ASSERT_TRUE(testing_update::WriteBytes(dir_ + "\\old.dat", "old"));
  const auto before = testing_update::Snapshot(dir_);
  struct Case {
    const char* what;
    std::string manifest;
    bool serveSignature;
    std::string signature;
    Kind kind;
  } cases[] = {
      {"signed by the built-in key (the control)", manifest, true, signature, Kind::kForcedUpdate},
      {"signed by another key", manifest, true, testing_update::SignManifest(manifest, testing_update::SigningKey::kUnknown),
       Kind::kNothingDue},
      {"one byte changed after signing", changed, true, signature, Kind::kNothingDue},
      {"no txgeng.sig on the server", manifest, false, "", Kind::kNothingDue},
      {"an empty txgeng.sig", manifest, true, "", Kind::kNothingDue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackServer server;
    ASSERT_TRUE(server.Start());
    Answer a;
    a.body = "contact";
    server.Set("/tandrel/gxdata/lianxixinxi.dat", a);
    a.body = c.manifest;
    server.Set("/tandrel/gxdata/txgeng.dat", a);
    a.body = c.signature;
    if (c.serveSignature) server.Set("/tandrel/gxdata/txgeng.sig", a);
    const update::UpdateOutcome outcome = update::CheckForUpdatesAt(Host(server), dir_);
    EXPECT_EQ(outcome.kind, c.kind);
    EXPECT_EQ(outcome.dueList.empty(), c.kind != Kind::kForcedUpdate);
    EXPECT_EQ(outcome.contactText, "contact");
    std::vector<std::string> fetched = kThreeFetches;
    fetched.push_back("/tandrel/gxdata/txgeng.sig");
    EXPECT_EQ(server.RequestedPaths(), fetched);
    EXPECT_EQ(testing_update::Snapshot(dir_), before);
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
