// File versions, the due decision over real versioned files, due lists and safe names.
#include <gtest/gtest.h>

#include <windows.h>

#include "test_files.h"
#include "update/due_list.h"
#include "update/file_version.h"
#include "update/link_address.h"
#include "update/manifest.h"
#include "update/safe_name.h"

using namespace testing_update;

namespace {

std::string Fixture(const std::string& name) { return ExecutableDirectory() + "\\update_fixtures\\" + name; }

TEST(ReadFileVersion, ReadsTheFileVersionOfAVersionedFile) {
  Text error = "untouched";
  EXPECT_EQ(update::ReadFileVersion(Fixture("v1_0_0_2.dll"), error), "1.0.0.2");
  EXPECT_EQ(update::ReadFileVersion(Fixture("v1_0_0_3.dll"), error), "1.0.0.3");
  EXPECT_EQ(error, "untouched");
}

TEST(ReadFileVersion, EmptyPathReadsTheRunningExecutable) {
  Text error;
  EXPECT_EQ(update::ReadFileVersion("", error), "7.7.7.7");  // this test program's own resource
}

TEST(ReadFileVersion, ErrorTexts) {
  struct Case { std::string path; const char* error; };
  const Case cases[] = {
      {"v1_0_0_2.dll", "当前文件名不符合规范"},                           // relative
      {"update_fixtures\\v1_0_0_2.dll", "当前文件名不符合规范"},          // relative with folder
      {"\\\\server\\share\\a.dll", "当前文件名不符合规范"},                // share
      {Fixture("no_such_file.dll"), "GetFileVersionInfoSize（获取信息长度）失败"},
      {Fixture("plain.dll"), "GetFileVersionInfoSize（获取信息长度）失败"},  // no version resource
  };
  for (const Case& c : cases) {
    Text error;
    EXPECT_EQ(update::ReadFileVersion(c.path, error), "") << c.path;
    EXPECT_EQ(error, c.error) << c.path;
  }
}

TEST(TranslationKey, EightUpperCaseHexDigits) {
  EXPECT_EQ(update::TranslationKey(0x0804, 1200), "080404B0");
  EXPECT_EQ(update::TranslationKey(0x0409, 1252), "040904E4");
  EXPECT_EQ(update::TranslationKey(0, 0), "00000000");
  EXPECT_EQ(update::TranslationKey(0xFFFF, 0xFFFF), "FFFFFFFF");
}

TEST(IsFullPath, Table) {
  struct Case { const char* path; bool full; };
  const Case cases[] = {
      {"C:\\a\\b.dll", true}, {"c:/a/b.dll", true}, {"z:\\", true}, {"D:\\\\\\\\x", true},
      {"C://a", true},        {"a.dll", false},     {"dir\\a.dll", false}, {"\\\\server\\share\\a", false},
      {"\\a.dll", false},     {"1:\\a", false},     {"C:a.dll", false},    {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(update::IsFullPath(c.path), c.full) << c.path;
}

// Any well-formed hash: the due decision only carries it on.
const Text kHash = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
const Text kHashTag = "<sha256>" + kHash + "</sha256>";

// One manifest line against one local file, in a folder of its own.
struct DueCase {
  const char* what;
  const char* localFixture;  // copied in as the named file; nullptr: the file is missing
  const char* line;
  bool due;
};

TEST(DueDecision, TableOverRealFiles) {
  const DueCase cases[] = {
      {"equal version", "v1_0_0_2.dll", "<yingyong>a.dll</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>", false},
      {"newer local", "v1_0_0_3.dll", "<yingyong>a.dll</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>", true},
      {"older local", "v1_0_0_1.dll", "<yingyong>a.dll</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>", true},
      {"missing", nullptr, "<yingyong>a.dll</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>", true},
      {"versioned local, no version info in it", "plain.dll",
       "<yingyong>a.dll</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>", true},
      {"empty name", nullptr, "<yingyong></yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>", false},
      {"no name tag", nullptr, "<banben>1.0.0.2</banben><dizhi>X</dizhi>", false},
      {"no version, missing, address", nullptr, "<yingyong>a.dll</yingyong><dizhi>X</dizhi>", true},
      {"no version, missing, no address", nullptr, "<yingyong>a.dll</yingyong>", false},
      {"no version, present without version info", "plain.dll", "<yingyong>a.dll</yingyong><dizhi>X</dizhi>", false},
      {"no version, present with a FileVersion", "v1_0_0_1.dll", "<yingyong>a.dll</yingyong><dizhi>X</dizhi>", true},
      {"tags in another order", "v1_0_0_2.dll", "<dizhi>X</dizhi><banben>1.0.0.2</banben><yingyong>a.dll</yingyong>",
       false},
      {"name with ..", nullptr, "<yingyong>..\\a.dll</yingyong><dizhi>X</dizhi>", false},
      {"absolute name", nullptr, "<yingyong>C:\\windows\\a.dll</yingyong><dizhi>X</dizhi>", false},
      {"device name", nullptr, "<yingyong>NUL</yingyong><dizhi>X</dizhi>", false},
  };
  for (const DueCase& c : cases) {
    const std::string dir = FreshDirectory("tandrel-due");
    if (c.localFixture) {
      ASSERT_TRUE(::CopyFileA(Fixture(c.localFixture).c_str(), (dir + "\\a.dll").c_str(), FALSE));
    }
    const Text dueList = update::BuildDueList(c.line + kHashTag, dir);
    EXPECT_EQ(!dueList.empty(), c.due) << c.what << ": " << dueList;
    RemoveTree(dir);
  }
}

// The hash ties the download to the signed manifest: an entry without one is never due.
TEST(DueDecision, AnEntryWithoutAWellFormedHashIsNeverDue) {
  const Text line = "<yingyong>a.dll</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>";  // a.dll is missing
  struct Case {
    const char* what;
    Text tag;
    bool due;
  } cases[] = {
      {"a hash (the control)", kHashTag, true},
      {"no hash tag", "", false},
      {"an empty hash", "<sha256></sha256>", false},
      {"one digit short", "<sha256>" + kHash.substr(1) + "</sha256>", false},
      {"one digit too many", "<sha256>" + kHash + "0</sha256>", false},
      {"not hex", "<sha256>" + kHash.substr(1) + "g</sha256>", false},
      {"an MD5 in its place", "<sha256>00112233445566778899aabbccddeeff</sha256>", false},
  };
  const std::string dir = FreshDirectory("tandrel-due-hash");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(!update::BuildDueList(line + c.tag, dir).empty(), c.due);
  }
  RemoveTree(dir);
}

TEST(DueDecision, DueListOfTwoFilesIsTwoCrLfLinesInManifestOrder) {
  const std::string dir = FreshDirectory("tandrel-due-list");
  ASSERT_TRUE(::CopyFileA(Fixture("v1_0_0_2.dll").c_str(), (dir + "\\ok.dll").c_str(), FALSE));
  const Text manifest =
      "<yingyong>new.dat</yingyong><banben></banben><dizhi>http://h/new.dat</dizhi>" + kHashTag + "\r\n"
      "<yingyong>ok.dll</yingyong><banben>1.0.0.2</banben><dizhi>http://h/ok.dll</dizhi>" + kHashTag + "\r\n"
      "<sha256>" + kHash + "</sha256><yingyong>a.dll</yingyong><banben>1.0.0.9</banben><dizhi>http://h/a.dll</dizhi>\r\n";
  EXPECT_EQ(update::BuildDueList(manifest, dir),
            "<wjmc>new.dat</wjmc><wjdz>http://h/new.dat</wjdz>" + kHashTag + "\r\n"
            "<wjmc>a.dll</wjmc><wjdz>http://h/a.dll</wjdz><wjbb>1.0.0.9</wjbb>" + kHashTag + "\r\n");
  RemoveTree(dir);
}

TEST(DueDecision, ALaterEntryForAFileAlreadyNamedOrForAWorkFileIsNeverDue) {
  // Every file is missing, so every line that is not refused is due.
  struct Case {
    const char* what;
    const char* first;
    const char* second;  // nullptr: only the first line
    bool secondDue;
  };
  const Case cases[] = {
      {"same name in another case", "tandrel.exe", "TANDREL.EXE", false},
      {"other separator", "sub/a.dat", "sub\\a.dat", false},
      {"download file of another entry", "a.dll", "a.dll.gxtmp", false},
      {"backup of another entry", "a.dll", "A.DLL.GXBAK", false},
      {"two-byte name in another case", "名a.dat", "名A.dat", false},
      {"a different file", "a.dll", "b.dll", true},
  };
  for (const Case& c : cases) {
    const std::string dir = FreshDirectory("tandrel-due-same");
    const Text manifest =
        "<yingyong>" + Text(c.first) + "</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>" + kHashTag + "\r\n" +
        "<yingyong>" + c.second + "</yingyong><banben>1.0.0.3</banben><dizhi>Y</dizhi>" + kHashTag + "\r\n";
    const auto due = update::ParseDueList(update::BuildDueList(manifest, dir));
    ASSERT_FALSE(due.empty()) << c.what;
    EXPECT_EQ(due.size(), c.secondDue ? 2u : 1u) << c.what;
    EXPECT_EQ(due[0].name, c.first) << c.what;  // the first entry is kept
    RemoveTree(dir);
  }
  // A work-file name alone is refused too: the updater would write its download beside it.
  const std::string dir = FreshDirectory("tandrel-due-work");
  EXPECT_EQ(update::BuildDueList("<yingyong>x.gxtmp</yingyong><dizhi>X</dizhi>" + kHashTag + "\r\n", dir), "");
  RemoveTree(dir);
}

TEST(DueDecision, AProgramFolderOutsideDriveLetterPathsIsReadLikeAnyOther) {
  // Run from a share the folder is "\\server\share\..."; "\\?\C:\..." shows the same under Wine.
  const std::string dir = FreshDirectory("tandrel-due-unc");
  ASSERT_TRUE(::CopyFileA(Fixture("v1_0_0_2.dll").c_str(), (dir + "\\a.dll").c_str(), FALSE));
  const std::string longForm = "\\\\?\\" + dir;
  EXPECT_EQ(update::BuildDueList("<yingyong>a.dll</yingyong><banben>1.0.0.2</banben><dizhi>X</dizhi>" + kHashTag,
                                 longForm),
            "");
  EXPECT_EQ(update::BuildDueList("<yingyong>a.dll</yingyong><banben>1.0.0.3</banben><dizhi>X</dizhi>" + kHashTag,
                                 longForm),
            "<wjmc>a.dll</wjmc><wjdz>X</wjdz><wjbb>1.0.0.3</wjbb>" + kHashTag + "\r\n");
  EXPECT_EQ(update::ReadFileVersionOfOwnFile(longForm + "\\a.dll"), "1.0.0.2");
  // The checked read keeps its rule for the error text.
  Text error;
  EXPECT_EQ(update::ReadFileVersion(longForm + "\\a.dll", error), "");
  EXPECT_EQ(error, "当前文件名不符合规范");
  RemoveTree(dir);
}

TEST(DueList, ReadBackWithAndWithoutTheVersionAndHashTags) {
  const auto entries = update::ParseDueList(
      "<wjmc>a.dll</wjmc><wjdz>http://h/a.dll</wjdz><wjbb>1.0.0.9</wjbb><sha256>00112233445566778899AABBCCDDEEFF"
      "00112233445566778899AABBCCDDEEFF</sha256>\r\n<wjmc>b.dat</wjmc><wjdz>http://h/b</wjdz>\r\n");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a.dll");
  EXPECT_EQ(entries[0].address, "http://h/a.dll");
  EXPECT_EQ(entries[0].version, "1.0.0.9");
  EXPECT_EQ(entries[0].sha256, kHash) << "read in lower case";
  EXPECT_EQ(entries[1].name, "b.dat");
  EXPECT_EQ(entries[1].version, "");
  EXPECT_EQ(entries[1].sha256, "");
  EXPECT_TRUE(update::ParseDueList("").empty());
}

TEST(SafeNames, OnlyRelativeNamesInsideTheDirectory) {
  struct Case { const char* name; bool safe; };
  const Case cases[] = {
      {"tandrel.exe", true}, {"skin\\sefds.she", true}, {"data/a.dat", true}, {"微信助手.dat", true},
      {"a..b.dll", true},    {"", false},               {"..", false},      {"..\\a.dll", false},
      {"a\\..\\..\\b", false}, {"a/../b", false},       {".\\a", false},    {"C:\\a.dll", false},
      {"C:a.dll", false},    {"\\a.dll", false},        {"/a.dll", false},  {"\\\\server\\share\\a", false},
      {"a\\\\b", false},     {"a:b", false},            {"a*.dll", false},  {"a?.dll", false},
      {"a\"b", false},       {"a<b", false},            {"a|b", false},     {"a\tb", false},
      {"a\nb", false},       {"CON", false},            {"nul", false},     {"NUL.txt", false},
      {"com1", false},       {"LPT9.dat", false},       {"sub\\aux", false}, {"CONOUT$", false},
      {"a.dll.", false},     {"a.dll ", false},         {"con1.dat", true}, {"console.dat", true},
  };
  for (const Case& c : cases) EXPECT_EQ(update::IsSafeRelativeName(c.name), c.safe) << c.name;

  const std::string dir = FreshDirectory("tandrel-safe");
  EXPECT_TRUE(update::IsSafeFileName(dir, "tandrel.exe"));
  EXPECT_TRUE(update::IsSafeFileName(dir, "skin\\a.dll"));
  EXPECT_FALSE(update::IsSafeFileName(dir, "..\\tandrel.exe"));
  EXPECT_FALSE(update::IsSafeFileName("", "tandrel.exe"));
  RemoveTree(dir);
}

TEST(LinkAddress, OnlyWebAddressesAreOpened) {
  struct Case { const char* text; bool open; };
  const Case cases[] = {
      {"http://tandrel.cn/", true}, {"HTTPS://tandrel.cn/x", true}, {"Http://a", true},
      {"   ", false},               {"", false},                    {"C:\\windows\\system32\\calc.exe", false},
      {"file:///C:/a.exe", false},  {"javascript:alert(1)", false}, {" http://a", false},
      {"ftp://a", false},           {"httpx://a", false},
  };
  for (const Case& c : cases) EXPECT_EQ(update::IsOpenableLinkAddress(c.text), c.open) << c.text;
}

}  // namespace
