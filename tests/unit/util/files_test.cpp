// Whole files, the program's own directory and the resources it carries.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/support/log_capture.h"
#include "util/files.h"
#include "util/program_directory.h"
#include "util/resources.h"
#include "util/text.h"
#include "util/unique_resource.h"

namespace {

// The test program carries rcdata_fixture.bin as RCDATA resource 7 (see CMakeLists.txt).
constexpr int kFixtureResource = 7;
constexpr int kAbsentResource = 4242;

Bytes ToFileBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string Contents(const std::string& path) {
  std::string bytes;
  return support::ReadWholeFile(path, &bytes) ? bytes : std::string("<unreadable>");
}

TEST(LeadByte, OnlyBytesFrom81ToFEStartATwoByteCharacter) {
  struct Case { unsigned char byte; bool lead; };
  const Case cases[] = {{0x00, false}, {0x5C, false}, {0x7F, false}, {0x80, false},  // 0x80: the euro sign
                        {0x81, true},  {0xB1, true},  {0xFE, true},  {0xFF, false}};
  for (const Case& c : cases) EXPECT_EQ(util::IsLeadByte(c.byte), c.lead) << static_cast<int>(c.byte);
}

TEST(ProgramDirectory, DirectoryOfPathSkipsBackslashesThatAreTrailBytes) {
  struct Case { Text path, directory; };
  const Case cases[] = {
      {"C:\\Program Files\\Tandrel\\tandrel.exe", "C:\\Program Files\\Tandrel"},
      {"C:\\tandrel.exe", "C:"},
      {"tandrel.exe", ""},
      {"", ""},
      // 表 is B1 ED; 乗 (GBK 81 5C) ends in the byte of a backslash.
      {"D:\\\xb1\xed\\\x81\x5c\\tandrel.exe", "D:\\\xb1\xed\\\x81\x5c"},
      {"D:\\dir\\\x81\x5c", "D:\\dir"},
      // The euro sign 0x80 is one byte: the backslash after it is a separator.
      {"E:\\\x80\\a.exe", "E:\\\x80"},
      // A lead byte at the very end stands alone.
      {"F:\\dir\\\x81", "F:\\dir"},
  };
  for (const Case& c : cases) EXPECT_EQ(util::DirectoryOfPath(c.path), c.directory) << c.path;
}

TEST(ProgramDirectory, IsTheFolderOfTheRunningExecutable) {
  wchar_t own[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
  const Text directory = util::ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), '\\');
  const Text ownPath = util::Narrow(own);
  EXPECT_EQ(util::ProgramFilePath(), ownPath);
  EXPECT_EQ(util::PathBesideProgram(ownPath.substr(ownPath.rfind('\\') + 1)), ownPath);
  EXPECT_EQ(util::PathBesideProgram("route.dat"), directory + "\\route.dat");
}

TEST(Files, ReadWholeFileKeepsToItsLimit) {
  support::TempDir dir;
  ASSERT_TRUE(dir);
  const std::string withZero("ab\0cd", 5);
  ASSERT_TRUE(support::WriteWholeFile(dir.File("five.bin"), withZero));
  ASSERT_TRUE(support::WriteWholeFile(dir.File("empty.bin"), ""));
  struct Case { const char* name; std::size_t limit; bool ok; Bytes expected; };
  const Case cases[] = {
      {"five.bin", 5, true, ToFileBytes(withZero)},
      {"five.bin", 100, true, ToFileBytes(withZero)},
      {"five.bin", 4, false, {}},
      {"empty.bin", 0, true, {}},
      {"missing.bin", 100, false, {}},
  };
  for (const Case& c : cases) {
    Bytes out = {1, 2, 3};  // whatever was there before is not kept
    EXPECT_EQ(util::ReadWholeFile(dir.File(c.name), out, c.limit), c.ok) << c.name << " " << c.limit;
    EXPECT_EQ(out, c.expected) << c.name << " " << c.limit;
  }
  Bytes out = {1};
  EXPECT_FALSE(util::ReadWholeFile(dir.path(), out, 100)) << "a folder is not a file";
  EXPECT_TRUE(out.empty());
}

TEST(Files, FileExistsForFilesAndFolders) {
  support::TempDir dir;
  ASSERT_TRUE(support::WriteWholeFile(dir.File("a.txt"), "a"));
  EXPECT_TRUE(util::FileExists(dir.File("a.txt")));
  EXPECT_TRUE(util::FileExists(dir.path()));
  EXPECT_FALSE(util::FileExists(dir.File("b.txt")));
}

TEST(Files, WriteFileAtomicallyCreatesAndReplacesWhole) {
  support::TempDir dir;
  const Text target = dir.File("\xb1\xed.dat");  // 表.dat: a GBK name
  ASSERT_TRUE(util::WriteFileAtomically(target, ToFileBytes("first version")));
  EXPECT_EQ(Contents(target), "first version");
  const std::string replacement("x\0y", 3);
  ASSERT_TRUE(util::WriteFileAtomically(target, ToFileBytes(replacement)));
  EXPECT_EQ(Contents(target), replacement);
  ASSERT_TRUE(util::WriteFileAtomically(target, Bytes()));
  EXPECT_EQ(Contents(target), "");
  EXPECT_FALSE(util::FileExists(target + ".new"));
}

TEST(Files, FailedReplaceLeavesTheTargetAndNoTemporary) {
  testlog::LogCapture log;
  const support::TempDir& dir = log.directory();

  // The target's place is taken by a folder: the move cannot replace it.
  const Text folder = dir.File("taken");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_FALSE(util::WriteFileAtomically(folder, ToFileBytes("new")));
  EXPECT_TRUE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(util::FileExists(folder + ".new"));

  // The folder the file should go to does not exist: nothing is created anywhere.
  const Text nowhere = dir.File("no such folder\\file.dat");
  EXPECT_FALSE(util::WriteFileAtomically(nowhere, ToFileBytes("new")));
  EXPECT_FALSE(util::FileExists(dir.File("no such folder")));

  // The temporary's place is held open without sharing: the old file stays as it was.
  const Text target = dir.File("kept.dat");
  ASSERT_TRUE(support::WriteWholeFile(target, "old"));
  {
    util::UniqueHandle holder(CreateFileA((target + ".new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(util::WriteFileAtomically(target, ToFileBytes("new")));
  }
  EXPECT_EQ(Contents(target), "old");

  EXPECT_TRUE(log.Contains("MoveFileExA failed: error ")) << log.Lines();
  EXPECT_TRUE(log.Contains("CreateFileA (write) failed: error ")) << log.Lines();
}

TEST(Resources, LoadRcDataGivesTheCarriedBytes) {
  const std::string onDisk = Contents(support::SourceDir() + "\\tests\\util\\rcdata_fixture.bin");
  ASSERT_GT(onDisk.size(), 0u);
  EXPECT_EQ(util::LoadRcData(kFixtureResource), ToFileBytes(onDisk));
  EXPECT_TRUE(util::LoadRcData(kAbsentResource).empty());
}

}  // namespace
