#pragma once
// The program's texts are GBK (code page 936) byte strings; byte sets may hold zero bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Text = std::string;               // code page 936 bytes, never silently widened
using Bytes = std::vector<std::uint8_t>;

namespace util {

constexpr unsigned kCodePageGbk = 936;
constexpr unsigned kCodePageUtf8 = 65001;

// In code page 936 a byte 0x81..0xFE starts a two-byte character; 0x80 is the one-byte
// euro sign. The trail byte may be any value from 0x40 up, a backslash (0x5C) included.
constexpr bool IsLeadByte(unsigned char byte) noexcept { return byte >= 0x81 && byte <= 0xFE; }

// UTF-16LE with one terminating zero unit (counted), or empty.
Bytes ToUtf16(const Bytes& data, unsigned codePage);
// Bytes in codePage without terminator, or empty. A terminator in data is optional.
Bytes FromUtf16(const Bytes& utf16, unsigned codePage);
Bytes GbkToUtf16(const Text& text);
Text Utf16ToGbk(const Bytes& utf16);
Text Utf8ToGbk(const Bytes& utf8);

// Conveniences for the edges that speak wchar_t (no terminator inside the wstring).
std::wstring Widen(const Text& text);
Text Narrow(const std::wstring& wide);

Bytes ToBytes(const Text& text);
Text ToText(const Bytes& bytes);  // up to the first zero byte

// Searching steps over two-byte characters whole (lead bytes 0x81..0xFE):
// no match may begin on a trail byte. Returns Text::npos when absent; an empty needle
// is never found.
std::size_t FindText(const Text& text, const Text& needle, std::size_t from = 0);
// Case-insensitive (ASCII letters only) variant of FindText.
std::size_t FindTextNoCase(const Text& text, const Text& needle, std::size_t from = 0);

// Without leading and trailing ASCII spaces and full-width spaces (A1 A1).
Text Trim(const Text& text);
// Before the first separator; empty when the separator does not occur.
Text TextBefore(const Text& text, const Text& separator);
// After the first start marker up to the first end marker after it; empty when either is missing.
Text TextBetween(const Text& text, const Text& startMarker, const Text& endMarker);
// Splits at every occurrence of the separator (two-byte aware); empty parts are kept
// ("a,,b," gives "a", "", "b", ""). An empty text gives no parts; an empty separator, one part.
std::vector<Text> SplitText(const Text& text, const Text& separator);

// Decimal rules: leading blanks skipped, optional sign, then the leading digits; none gives 0.
// Values beyond the range of long long saturate.
long long TextToInteger(const Text& text);

}  // namespace util
