// Code-page conversions and the two-byte aware text routines.
#include "util/text.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace util {
namespace {

// Length in bytes of the character starting at position i (a lead byte at the very end
// stands alone).
std::size_t CharLength(const Text& text, std::size_t i) {
  return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares the needle at text[at..]; letters of single-byte characters fold when asked.
// The caller guarantees that `at` is a character boundary, so the needle's own character
// boundaries line up with the text's.
bool MatchesAt(const Text& text, std::size_t at, const Text& needle, bool foldCase) {
  if (text.size() - at < needle.size()) return false;
  for (std::size_t k = 0; k < needle.size();) {
    const std::size_t len = CharLength(needle, k);
    if (len == 2) {
      if (text[at + k] != needle[k] || text[at + k + 1] != needle[k + 1]) return false;
    } else if (foldCase ? AsciiLower(text[at + k]) != AsciiLower(needle[k])
                        : text[at + k] != needle[k]) {
      return false;
    }
    k += len;
  }
  return true;
}

std::size_t Find(const Text& text, const Text& needle, std::size_t from, bool foldCase) {
  if (needle.empty()) return Text::npos;
  for (std::size_t i = from; i < text.size(); i += CharLength(text, i)) {
    if (MatchesAt(text, i, needle, foldCase)) return i;
  }
  return Text::npos;
}

bool IsSpaceAt(const Text& text, std::size_t i, std::size_t len) {
  if (len == 1) return text[i] == ' ';
  return static_cast<unsigned char>(text[i]) == 0xA1 &&
         static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

}  // namespace

Bytes ToUtf16(const Bytes& data, unsigned codePage) {
  // Terminate a copy: the conversion covers the data up to its first zero byte.
  Bytes source(data);
  source.push_back(0);
  if (source[0] == 0) return {};
  const char* input = reinterpret_cast<const char*>(source.data());
  const int units = ::MultiByteToWideChar(codePage, 0, input, -1, nullptr, 0);
  if (units <= 0) return {};
  std::vector<wchar_t> wide(static_cast<std::size_t>(units), L'\0');
  if (::MultiByteToWideChar(codePage, 0, input, -1, wide.data(), units) <= 0) return {};
  Bytes result(wide.size() * 2);
  std::memcpy(result.data(), wide.data(), result.size());
  return result;
}

Bytes FromUtf16(const Bytes& utf16, unsigned codePage) {
  // Whole units plus one zero unit, so unterminated data (even of odd length) ends.
  std::vector<wchar_t> wide((utf16.size() + 1) / 2 + 1, L'\0');
  if (!utf16.empty()) std::memcpy(wide.data(), utf16.data(), utf16.size());
  if (::lstrlenW(wide.data()) == 0) return {};
  const int size = ::WideCharToMultiByte(codePage, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  Bytes result(static_cast<std::size_t>(size), 0);
  if (::WideCharToMultiByte(codePage, 0, wide.data(), -1, reinterpret_cast<char*>(result.data()),
                            size, nullptr, nullptr) <= 0) {
    return {};
  }
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (result[i] == 0) {
      result.resize(i);
      break;
    }
  }
  return result;
}

Bytes GbkToUtf16(const Text& text) { return ToUtf16(ToBytes(text), kCodePageGbk); }

Text Utf16ToGbk(const Bytes& utf16) { return ToText(FromUtf16(utf16, kCodePageGbk)); }

Text Utf8ToGbk(const Bytes& utf8) { return Utf16ToGbk(ToUtf16(utf8, kCodePageUtf8)); }

std::wstring Widen(const Text& text) {
  const Bytes utf16 = GbkToUtf16(text);
  if (utf16.size() < 2) return {};
  std::wstring wide((utf16.size() - 2) / 2, L'\0');
  std::memcpy(&wide[0], utf16.data(), wide.size() * 2);
  return wide;
}

Text Narrow(const std::wstring& wide) {
  Bytes utf16(wide.size() * 2);
  if (!wide.empty()) std::memcpy(utf16.data(), wide.data(), utf16.size());
  return Utf16ToGbk(utf16);
}

Bytes ToBytes(const Text& text) { return Bytes(text.begin(), text.end()); }

Text ToText(const Bytes& bytes) {
  Text text;
  for (std::uint8_t b : bytes) {
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  return text;
}

std::size_t FindText(const Text& text, const Text& needle, std::size_t from) {
  return Find(text, needle, from, false);
}

std::size_t FindTextNoCase(const Text& text, const Text& needle, std::size_t from) {
  return Find(text, needle, from, true);
}

Text Trim(const Text& text) {
  // Walk characters from the start, so a trailing A1 A1 is only a space when it is one
  // whole character and not the trail of one character and the lead of the next.
  std::size_t begin = Text::npos;
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = CharLength(text, i);
    if (!IsSpaceAt(text, i, len)) {
      if (begin == Text::npos) begin = i;
      end = i + len;
    }
    i += len;
  }
  if (begin == Text::npos) return {};
  return text.substr(begin, end - begin);
}

Text TextBefore(const Text& text, const Text& separator) {
  const std::size_t at = FindText(text, separator);
  return at == Text::npos ? Text() : text.substr(0, at);
}

Text TextBetween(const Text& text, const Text& startMarker, const Text& endMarker) {
  const std::size_t start = FindText(text, startMarker);
  if (start == Text::npos) return {};
  const std::size_t from = start + startMarker.size();
  const std::size_t end = FindText(text, endMarker, from);
  if (end == Text::npos) return {};
  return text.substr(from, end - from);
}

std::vector<Text> SplitText(const Text& text, const Text& separator) {
  std::vector<Text> parts;
  if (text.empty()) return parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = FindText(text, separator, from);
    if (at == Text::npos) break;
    parts.push_back(text.substr(from, at - from));
    from = at + separator.size();
  }
  parts.push_back(text.substr(from));
  return parts;
}

long long TextToInteger(const Text& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate negatively so that LLONG_MIN is reachable; saturate on overflow.
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value < (LLONG_MIN + digit) / 10) {
      value = LLONG_MIN;
      while (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') ++i;
      break;
    }
    value = value * 10 - digit;
  }
  if (!negative) return value == LLONG_MIN ? LLONG_MAX : -value;
  return value;
}

}  // namespace util
