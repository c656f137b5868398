// The text rules of desktop shortcuts: names, files, working directories, icon locations.
#include <gtest/gtest.h>

#include "app/shortcut_rules.h"

namespace {

struct NameCase { const char* name; const char* reduced; };

TEST(ShortcutRules, NameReduction) {
  const NameCase cases[] = {
      {"Tandrel", "Tandrel"},          // no "\": used as given, extension and all
      {"Tool.lnk", "Tool.lnk"},
      {"a\\b\\Tool.exe", "Tool"},
      {"a\\b\\Tool", "Tool"},
      {"a\\b\\", ""},                  // ends in "\": nothing left
      {"a\\my.tool.exe", "my.tool"},   // only the last extension goes
      {"a\\v1.2 beta", "v1.2 beta"},   // a space after the dot: no extension
      // 0x5C as the trail byte of a two-byte character is not a separator: "\xD5\x5C" is one character.
      {"dir\\\xD5\x5C.exe", "\xD5\x5C"},
  };
  for (const NameCase& c : cases) EXPECT_EQ(app::ShortcutName(c.name), c.reduced) << c.name;
}

TEST(ShortcutRules, FileGetsLnkUnlessTheNameHoldsIt) {
  EXPECT_EQ(app::ShortcutFilePath("C:\\D\\", "Tool"), "C:\\D\\Tool.lnk");
  EXPECT_EQ(app::ShortcutFilePath("C:\\D\\", "Tool.lnk"), "C:\\D\\Tool.lnk");
  EXPECT_EQ(app::ShortcutFilePath("C:\\D\\", "Tool.LNK"), "C:\\D\\Tool.LNK");
  EXPECT_EQ(app::ShortcutFilePath("C:\\D\\", "my.lnk.old"), "C:\\D\\my.lnk.old");  // "anywhere"
  EXPECT_EQ(app::ShortcutFilePath("", "Tool"), "Tool.lnk");                       // no desktop
}

struct DirectoryCase { const char* target; bool ok; const char* directory; };

TEST(ShortcutRules, WorkingDirectoryIsEverythingUpToTheLastSeparator) {
  const DirectoryCase cases[] = {
      {"D:\\Apps\\X\\tandrel.exe", true, "D:\\Apps\\X\\"},
      {"C:\\tandrel.exe", true, "C:\\"},
      {"\\\\server\\share\\t.exe", true, "\\\\server\\share\\"},
      {"D:\\Apps\\X\\", true, "D:\\Apps\\X\\"},
      {"tandrel.exe", false, ""},      // one part only
      {"", false, ""},
      {"\xD5\x5C.exe", false, ""},     // the 0x5C inside a character does not split
  };
  for (const DirectoryCase& c : cases) {
    Text directory;
    EXPECT_EQ(app::ShortcutWorkingDirectory(c.target, directory), c.ok) << c.target;
    if (c.ok) {
      EXPECT_EQ(directory, c.directory) << c.target;
    }
  }
}

TEST(ShortcutRules, IconLocation) {
  EXPECT_EQ(app::ShortcutIconLocation("D:\\Apps\\X\\tandrel.exe", ""), "D:\\Apps\\X\\tandrel.exe,0");
  EXPECT_EQ(app::ShortcutIconLocation("D:\\Apps\\X\\tandrel", ""), "SHELL32.dll,4");
  EXPECT_EQ(app::ShortcutIconLocation("D:\\Apps.v2\\tandrel", ""), "SHELL32.dll,4");  // dot in a folder only
  EXPECT_EQ(app::ShortcutIconLocation("D:\\X\\t.exe", "E:\\i.ico,2"), "E:\\i.ico,2");
}

}  // namespace
