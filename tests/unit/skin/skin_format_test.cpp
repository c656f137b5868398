// Reading skin files: the shipped default skin, damaged files, protected files.
#include <gtest/gtest.h>

#include <string>

#include "skin/skin_format.h"
#include "tests/support/test_support.h"

namespace {

const char kValid[] =
    "tandrel-skin 1\n"
    "name = Test\n"
    "[caption]\nactive = #102030\ninactive = #405060\nactive-text = #FFFFFF\ninactive-text = #EEEEEE\n"
    "[frame]\nactive = #102030\ninactive = #405060\noutline = #000000\n"
    "[controls]\nface = #F0F0F0\ntext = #000000\nfield = #FFFFFF\nfield-text = #000000\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

TEST(SkinFormat, ShippedDefaultSkinParses) {
  std::string text;
  ASSERT_TRUE(support::ReadWholeFile(support::BinDir() + "\\sefds.she", &text));
  skin::Skin parsed;
  std::string error;
  EXPECT_EQ(skin::ParseSkin(text, parsed, error), skin::kAttached) << error;
  EXPECT_TRUE(parsed.passwordMd5.empty());
}

TEST(SkinFormat, ColoursBecomeGdiValues) {
  skin::Skin parsed;
  std::string error;
  ASSERT_EQ(skin::ParseSkin(kValid, parsed, error), skin::kAttached) << error;
  EXPECT_EQ(parsed.captionActive, 0x302010u);  // #102030 is R 0x10, G 0x20, B 0x30
  EXPECT_EQ(parsed.captionInactive, 0x605040u);
  EXPECT_EQ(parsed.name, "Test");
  EXPECT_FALSE(parsed.captionTextCentred);
  // CR LF line ends, a byte-order mark and comments are allowed.
  std::string windows = "\xEF\xBB\xBF# comment\r\n; another\r\n" + Replace(kValid, "\n", "\r\n");
  EXPECT_EQ(skin::ParseSkin(windows, parsed, error), skin::kAttached) << error;
}

struct DamagedCase { const char* what; std::string text; };

TEST(SkinFormat, DamagedFilesAreRefused) {
  const std::string valid = kValid;
  const DamagedCase cases[] = {
      {"empty", ""},
      {"no signature", valid.substr(valid.find('\n') + 1)},
      {"other version", Replace(valid, "tandrel-skin 1", "tandrel-skin 2")},
      {"unknown section", Replace(valid, "[frame]", "[border]")},
      {"unknown key", Replace(valid, "outline", "outlines")},
      {"short colour", Replace(valid, "#102030\ninactive", "#10203\ninactive")},
      {"not hex", Replace(valid, "#102030\ninactive", "#10203G\ninactive")},
      {"missing key", Replace(valid, "field-text = #000000\n", "")},
      {"repeated key", valid + "[caption]\nactive = #000000\n"},
      {"no equals sign", Replace(valid, "name = Test", "name Test")},
      {"bad alignment", valid + "[caption]\ntext-align = right\n"},
      {"zero byte", Replace(valid, "Test", std::string("Te\0st", 5))},
      {"bad password digest", Replace(valid, "name = Test", "password-md5 = 1234")},
      {"too large", valid + std::string(70000, '#')},
      {"binary", std::string("\x89PNG\r\n\x1a\n", 8)},
  };
  for (const DamagedCase& c : cases) {
    skin::Skin parsed;
    std::string error;
    EXPECT_EQ(skin::ParseSkin(c.text, parsed, error), skin::kFileDamaged) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

TEST(SkinFormat, PasswordProtection) {
  // 5ebe2294ecd0e0f08eab7690d2a6ee69 is MD5("secret") (python3 hashlib).
  const std::string text = Replace(kValid, "name = Test", "password-md5 = 5ebe2294ecd0e0f08eab7690d2a6ee69");
  skin::Skin parsed;
  std::string error;
  ASSERT_EQ(skin::ParseSkin(text, parsed, error), skin::kAttached) << error;
  EXPECT_TRUE(skin::PasswordOpens(parsed, "5ebe2294ecd0e0f08eab7690d2a6ee69"));
  // MD5("") (the program's empty password) does not open it.
  EXPECT_FALSE(skin::PasswordOpens(parsed, "d41d8cd98f00b204e9800998ecf8427e"));
  skin::Skin open;
  ASSERT_EQ(skin::ParseSkin(kValid, open, error), skin::kAttached);
  EXPECT_TRUE(skin::PasswordOpens(open, "d41d8cd98f00b204e9800998ecf8427e"));
}

}  // namespace
