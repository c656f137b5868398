#include "skin/skin_format.h"

#include <cctype>
#include <set>
#include <vector>

namespace skin {
namespace {

constexpr char kMagic[] = "tandrel-skin 1";
constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string Trimmed(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "#RRGGBB" into 0x00BBGGRR.
bool ParseColour(const std::string& value, Colour& colour) {
  if (value.size() != 7 || value[0] != '#') return false;
  int digits[6];
  for (int i = 0; i < 6; ++i) {
    digits[i] = HexValue(value[1 + i]);
    if (digits[i] < 0) return false;
  }
  Colour r = digits[0] * 16 + digits[1], g = digits[2] * 16 + digits[3], b = digits[4] * 16 + digits[5];
  colour = r | (g << 8) | (b << 16);
  return true;
}

bool IsLowerHex(const std::string& s) {
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

struct Key {
  const char* section;
  const char* name;
  Colour Skin::*colour;  // null for the keys with other values
};

const Key kColourKeys[] = {
    {"caption", "active", &Skin::captionActive},
    {"caption", "inactive", &Skin::captionInactive},
    {"caption", "active-text", &Skin::captionTextActive},
    {"caption", "inactive-text", &Skin::captionTextInactive},
    {"frame", "active", &Skin::frameActive},
    {"frame", "inactive", &Skin::frameInactive},
    {"frame", "outline", &Skin::frameOutline},
    {"controls", "face", &Skin::controlFace},
    {"controls", "text", &Skin::controlText},
    {"controls", "field", &Skin::fieldBackground},
    {"controls", "field-text", &Skin::fieldText},
};

}  // namespace

Status ParseSkin(const std::string& text, Skin& skin, std::string& error) {
  skin = Skin();
  if (text.size() > kMaxFileBytes) {
    error = "file larger than 64 KiB";
    return kFileDamaged;
  }
  if (text.find('\0') != std::string::npos) {
    error = "binary data";
    return kFileDamaged;
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  // A UTF-8 byte-order mark is allowed before the first line.
  if (!lines.empty() && lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0) lines[0].erase(0, 3);

  bool sawMagic = false;
  std::string section;  // empty: the header, before the first section
  std::set<std::string> seen;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string line = Trimmed(lines[n]);
    const std::string where = "line " + std::to_string(n + 1) + ": ";
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (!sawMagic) {
      if (line != kMagic) {
        error = where + "not a skin file (expected \"tandrel-skin 1\")";
        return kFileDamaged;
      }
      sawMagic = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') {
        error = where + "unclosed section";
        return kFileDamaged;
      }
      section = Trimmed(line.substr(1, line.size() - 2));
      if (section != "caption" && section != "frame" && section != "controls") {
        error = where + "unknown section";
        return kFileDamaged;
      }
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = where + "expected key = value";
      return kFileDamaged;
    }
    const std::string key = Trimmed(line.substr(0, eq));
    const std::string value = Trimmed(line.substr(eq + 1));
    const std::string full = section + "." + key;
    if (!seen.insert(full).second) {
      error = where + "repeated key";
      return kFileDamaged;
    }
    bool known = false;
    if (section.empty() && key == "name") {
      skin.name = value;
      known = true;
    } else if (section.empty() && key == "password-md5") {
      if (value.size() != 32 || !IsLowerHex(value)) {
        error = where + "password-md5 must be 32 lower-case hex digits";
        return kFileDamaged;
      }
      skin.passwordMd5 = value;
      known = true;
    } else if (section == "caption" && key == "text-align") {
      if (value != "left" && value != "centre") {
        error = where + "text-align must be left or centre";
        return kFileDamaged;
      }
      skin.captionTextCentred = value == "centre";
      known = true;
    } else {
      for (const Key& k : kColourKeys) {
        if (section == k.section && key == k.name) {
          if (!ParseColour(value, skin.*(k.colour))) {
            error = where + "colour must be #RRGGBB";
            return kFileDamaged;
          }
          known = true;
        }
      }
    }
    if (!known) {
      error = where + "unknown key";
      return kFileDamaged;
    }
  }
  if (!sawMagic) {
    error = "not a skin file (empty)";
    return kFileDamaged;
  }
  for (const Key& k : kColourKeys) {
    if (!seen.count(std::string(k.section) + "." + k.name)) {
      error = std::string("missing ") + k.section + "." + k.name;
      return kFileDamaged;
    }
  }
  error.clear();
  return kAttached;
}

bool PasswordOpens(const Skin& skin, const std::string& passwordMd5Hex) {
  return skin.passwordMd5.empty() || skin.passwordMd5 == passwordMd5Hex;
}

}  // namespace skin
