// Code-page conversions, the two-byte aware text routines and MD5.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "gbk_reference.h"  // expected encodings, generated from iconv/Python at build time
#include "util/md5.h"
#include "util/text.h"

namespace {

using util::FromUtf16;
using util::ToUtf16;

Bytes Utf16Bytes(const std::vector<std::uint16_t>& units, bool terminated) {
  Bytes bytes;
  for (std::uint16_t u : units) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

Text TextOf(const Bytes& bytes) { return Text(bytes.begin(), bytes.end()); }

// Every row of the reference table, in every direction it can be converted.
TEST(TextConversion, MatchesReferenceTable) {
  for (const GbkReferenceRow& row : GbkReferenceRows()) {
    SCOPED_TRACE(row.label);
    const Text gbk = TextOf(row.gbk);
    EXPECT_EQ(util::Utf16ToGbk(Utf16Bytes(row.utf16, true)), gbk);
    EXPECT_EQ(util::Utf16ToGbk(Utf16Bytes(row.utf16, false)), gbk);
    EXPECT_EQ(util::Utf8ToGbk(row.utf8), gbk);
    if (row.inGbk) {
      EXPECT_EQ(util::GbkToUtf16(gbk), Utf16Bytes(row.utf16, true));
      EXPECT_EQ(util::Widen(gbk), std::wstring(row.utf16.begin(), row.utf16.end()));
    }
  }
}

// Terminator rules, embedded zeros, empty input, odd lengths and failure.
TEST(TextConversion, TerminatorAndEdgeRules) {
  struct Case {
    const char* what;
    Bytes actual;
    Bytes expected;
  };
  const Case cases[] = {
      {"empty text gives no lone terminator", util::GbkToUtf16(""), {}},
      {"A gives 41 00 00 00", util::GbkToUtf16("A"), {0x41, 0, 0, 0}},
      {"two-byte char: one unit and terminator", util::GbkToUtf16("\xD6\xD0"), {0x2D, 0x4E, 0, 0}},
      {"ToUtf16 stops at an embedded zero", ToUtf16({0x41, 0x00, 0x42}, 936), {0x41, 0, 0, 0}},
      {"ToUtf16 of data starting with zero", ToUtf16({0x00, 0x41}, 936), {}},
      {"ToUtf16 of UTF-8", ToUtf16({0xE4, 0xB8, 0xAD}, 65001), {0x2D, 0x4E, 0, 0}},
      {"ToUtf16 with an unknown code page", ToUtf16({0x41}, 12345), {}},
      {"FromUtf16 without terminator", FromUtf16({0x41, 0x00}, 936), {0x41}},
      {"FromUtf16 stops at the first zero unit", FromUtf16({0x41, 0, 0, 0, 0x42, 0}, 936), {0x41}},
      {"FromUtf16 of nothing", FromUtf16({}, 936), {}},
      {"FromUtf16 of a lone terminator", FromUtf16({0, 0}, 936), {}},
      {"FromUtf16 of an odd length", FromUtf16({0x41, 0x00, 0x42}, 936), {0x41, 0x42}},
      {"FromUtf16 to UTF-8", FromUtf16({0x2D, 0x4E}, 65001), {0xE4, 0xB8, 0xAD}},
      {"FromUtf16 with an unknown code page", FromUtf16({0x41, 0x00}, 12345), {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;

  EXPECT_EQ(util::Utf16ToGbk({}), "");
  EXPECT_EQ(util::Utf16ToGbk({0x41, 0, 0, 0, 0x42, 0}), "A");
  EXPECT_EQ(util::Utf8ToGbk({0xE4, 0xB8, 0xAD, 0x00, 0xE6, 0x96, 0x87}), "\xD6\xD0");
  EXPECT_EQ(util::Utf8ToGbk({}), "");
  // Literals: the compiler's own GBK and UTF-16 encodings of the same characters.
  EXPECT_EQ(util::Widen("微信"), L"微信");
  EXPECT_EQ(util::Narrow(L"微信 Tandrel"), "微信 Tandrel");
  EXPECT_EQ(util::Narrow(L""), "");
  EXPECT_EQ(util::ToText({0x41, 0x42, 0x00, 0x43}), "AB");
}

// Characters used below, with their GBK bytes (Python's gbk codec):
//   遼 DF 7C (trail byte is '|'), 誠 D5 5C (trail byte is '\'), 丄 81 41 (trail byte is 'A'),
//   中 D6 D0, 文 CE C4, 啊 B0 A1, full-width space A1 A1.
enum class Op { Before, Between, Trim, Find, FindNoCase };
struct TextCase {
  const char* what;
  Op op;
  Text text;
  Text a;
  Text b;
  Text expected;  // for the searches: the position in decimal, or "none"
};

Text RunTextCase(const TextCase& c) {
  auto position = [](std::size_t at) { return at == Text::npos ? Text("none") : std::to_string(at); };
  switch (c.op) {
    case Op::Before: return util::TextBefore(c.text, c.a);
    case Op::Between: return util::TextBetween(c.text, c.a, c.b);
    case Op::Trim: return util::Trim(c.text);
    case Op::Find: return position(util::FindText(c.text, c.a, c.b.empty() ? 0 : std::stoul(c.b)));
    case Op::FindNoCase: return position(util::FindTextNoCase(c.text, c.a));
  }
  return "?";
}

TEST(TextRoutines, EdgeCases) {
  const TextCase cases[] = {
      {"before the first separator", Op::Before, "123|4,5", "|", "", "123"},
      {"separator absent", Op::Before, "123", "|", "", ""},
      {"separator first", Op::Before, "|12", "|", "", ""},
      {"separator byte as trail byte is not a match", Op::Before, "遼|x", "|", "", "遼"},
      {"empty separator", Op::Before, "abc", "", "", ""},
      {"between first markers", Op::Between, "<a>x</a><a>y</a>", "<a>", "</a>", "x"},
      {"end marker missing", Op::Between, "<a>x", "<a>", "</a>", ""},
      {"start marker missing", Op::Between, "x</a>", "<a>", "</a>", ""},
      {"end marker only counts after the start", Op::Between, "</a><a>y</a>", "<a>", "</a>", "y"},
      {"nothing between", Op::Between, "<a></a>", "<a>", "</a>", ""},
      {"start marker on a trail byte skipped", Op::Between, "誠\\x\\", "\\", "\\", "x"},
      {"end marker on a trail byte skipped", Op::Between, "[遼|]", "[", "|", "遼"},
      {"Chinese markers", Op::Between, "<名>微信</名>", "<名>", "</名>", "微信"},
      {"ASCII spaces", Op::Trim, "  a b  ", "", "", "a b"},
      {"full-width spaces", Op::Trim, "　a　", "", "", "a"},
      {"mixed spaces", Op::Trim, " 　 a 　", "", "", "a"},
      {"leading tab kept", Op::Trim, "\ta", "", "", "\ta"},
      {"line ends kept", Op::Trim, "a\r\n", "", "", "a\r\n"},
      {"only spaces", Op::Trim, " 　 ", "", "", ""},
      {"empty", Op::Trim, "", "", "", ""},
      {"char ending in A1 before a full-width space", Op::Trim, "啊　", "", "", "啊"},
      {"lone A1 is not a space", Op::Trim, "a\xA1", "", "", "a\xA1"},
      {"match across a character boundary refused", Op::Find, "中文", "\xD0\xCE", "", "none"},
      {"whole character found", Op::Find, "中文", "文", "", "2"},
      {"trail byte is not a letter", Op::Find, "丄", "A", "", "none"},
      {"search from a position", Op::Find, "abcabc", "c", "3", "5"},
      {"empty needle", Op::Find, "abc", "", "", "none"},
      {"needle longer than text", Op::Find, "ab", "abc", "", "none"},
      {"case folded", Op::FindNoCase, "x.LNK", ".lnk", "", "1"},
      {"trail byte not folded", Op::FindNoCase, "丄", "a", "", "none"},
      {"two-byte characters exact", Op::FindNoCase, "微信.Lnk", "信.l", "", "2"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(RunTextCase(c), c.expected) << c.what;
}

TEST(TextRoutines, SplitText) {
  using Parts = std::vector<Text>;
  EXPECT_EQ(util::SplitText("a\r\nb\r\n", "\r\n"), (Parts{"a", "b", ""}));
  EXPECT_EQ(util::SplitText("C:\\誠\\x.exe", "\\"), (Parts{"C:", "誠", "x.exe"}));
  EXPECT_EQ(util::SplitText("abc", ","), (Parts{"abc"}));
  EXPECT_EQ(util::SplitText("", ","), Parts{});
}

TEST(TextRoutines, TextToInteger) {
  const std::pair<Text, long long> cases[] = {
      {"123", 123}, {"-45x", -45}, {"+7", 7}, {" 12", 12}, {"abc", 0}, {"", 0}, {"-", 0},
      {"99999999999999999999", LLONG_MAX}, {"-9223372036854775808", LLONG_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(util::TextToInteger(c.first), c.second) << c.first;
}

// RFC 1321, appendix A.5, and GBK texts whose digests Python's hashlib computed over
// their GBK bytes (hashlib.md5("微信".encode("gbk")) and so on).
TEST(Md5, RfcSuiteAndGbkTexts) {
  const std::pair<Text, Text> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {"微信", "f70fa959fd32f2cf594cdeb892f1b10d"},  // UTF-8 bytes would give cfbf6f4c...
      {"程序更新", "bb9f3d475e375821ac1da5b4d8cf08fd"},
      {"Tandrel", "0d29340f92752b34cfab085d81d4178c"},
  };
  for (const auto& c : cases) EXPECT_EQ(util::Md5Hex(c.first), c.second) << c.first;
  // A byte set may hold zeros; all of it is hashed (hashlib.md5(b"\0a\0")).
  EXPECT_EQ(util::Md5Hex(Bytes{0x00, 0x61, 0x00}), "5682091fe9ffa9e8d39c8142689d46fe");
}

}  // namespace
