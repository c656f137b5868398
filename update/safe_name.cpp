#include "update/safe_name.h"

#include <windows.h>

#include <vector>

#include "update/handoff_files.h"
#include "util/log.h"

namespace update {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

Text UpperAscii(const Text& text) {
  Text out = text;
  for (char& c : out) c = Upper(c);
  return out;
}

// Windows treats these as devices whatever extension follows ("NUL.txt" is NUL).
bool IsDeviceName(const Text& component) {
  Text base = UpperAscii(component.substr(0, component.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
      base[3] <= '9')
    return true;
  return false;
}

bool IsSafeComponent(const Text& component) {
  if (component.empty() || component == "." || component == "..") return false;
  const char last = component.back();
  if (last == '.' || last == ' ') return false;
  return !IsDeviceName(component);
}

}  // namespace

bool IsSafeRelativeName(const Text& name) {
  if (name.empty()) return false;
  std::vector<Text> components(1);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (util::IsLeadByte(c)) {
      // A two-byte character: its trail byte may look like a separator, it is not one.
      if (i + 1 >= name.size()) return false;
      components.back() += name.substr(i, 2);
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7F) return false;
    switch (c) {
      case '<': case '>': case ':': case '"': case '|': case '?': case '*':
        return false;
      case '\\': case '/':
        components.emplace_back();
        continue;
      default:
        components.back() += static_cast<char>(c);
    }
  }
  for (const Text& component : components) {
    if (!IsSafeComponent(component)) return false;
  }
  return true;
}

bool IsSafeFileName(const Text& directory, const Text& name) {
  if (directory.empty() || !IsSafeRelativeName(name)) return false;
  const Text joined = directory + "\\" + name;
  char full[MAX_PATH * 2] = {};
  DWORD length = ::GetFullPathNameA(joined.c_str(), sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return false;
  Text base = directory;
  if (base.back() != '\\') base += '\\';
  char baseFull[MAX_PATH * 2] = {};
  DWORD baseLength = ::GetFullPathNameA(base.c_str(), sizeof baseFull, baseFull, nullptr);
  if (baseLength == 0 || baseLength >= sizeof baseFull) return false;
  const Text resolved(full, length);
  const Text prefix(baseFull, baseLength);
  return resolved.size() > prefix.size() && UpperAscii(resolved.substr(0, prefix.size())) == UpperAscii(prefix);
}

std::wstring FileIdentity(const Text& directory, const Text& name) {
  const std::wstring joined = util::Widen(directory + "\\" + name);
  if (joined.empty()) return {};
  // GetFullPathNameW turns "/" into "\" and resolves "." and "..".
  std::vector<wchar_t> full(joined.size() + MAX_PATH);
  DWORD length = ::GetFullPathNameW(joined.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length + 1);
    length = ::GetFullPathNameW(joined.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) {
    util::LogLastError("GetFullPathNameW");
    return {};
  }
  // File names compare without case (NTFS folds by its upper-case table, like CharUpper).
  ::CharUpperBuffW(full.data(), length);
  return std::wstring(full.data(), length);
}

bool DistinctFileNames::Claim(const Text& name) {
  const Text upper = UpperAscii(name);
  for (const char* suffix : {kDownloadSuffix, kBackupSuffix}) {
    const Text tail = UpperAscii(suffix);
    if (upper.size() >= tail.size() && upper.compare(upper.size() - tail.size(), tail.size(), tail) == 0) {
      util::LogWarning("%s ends like one of the updater's work files: refused", name.c_str());
      return false;
    }
  }
  const std::wstring identity = FileIdentity(directory_, name);
  if (identity.empty()) {
    util::LogWarning("%s could not be resolved in %s: refused", name.c_str(), directory_.c_str());
    return false;
  }
  if (!claimed_.insert(identity).second) {
    util::LogWarning("%s names a file listed before: refused", name.c_str());
    return false;
  }
  return true;
}

}  // namespace update
