#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace support {

std::string ToWindowsPath(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  if (!path.empty() && path[0] == '/' && (path.size() < 2 || path[1] != '/')) out = "Z:" + out;
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

std::string SourceDir() { return ToWindowsPath(TANDREL_SOURCE_DIR); }
std::string BuildDir() { return ToWindowsPath(TANDREL_BINARY_DIR); }
std::string BinDir() { return BuildDir() + "\\bin"; }
std::string TestBinDir() { return BuildDir() + "\\tests\\bin"; }

std::string ExeDir() {
  char path[MAX_PATH * 2] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p(path, length);
  size_t slash = p.find_last_of('\\');
  return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  util::UniqueHandle file(f);
  bytes->clear();
  char buffer[16384];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) return true;
    bytes->append(buffer, got);
  }
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  util::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool CopyFileTo(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool RemoveDirectoryTree(const std::string& path) {
  if (path.size() < 4) return false;  // never a drive root
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryTree(child);
      } else {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

TempDir::TempDir() {
  char temp[MAX_PATH] = {};
  if (!GetTempPathA(sizeof temp, temp)) return;
  std::string base = temp;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("test");
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  static int counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = base + "\\tandrel-" + name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(++counter);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  // A process that just ended may still hold its files for a moment.
  for (int attempt = 0; attempt < 10 && !RemoveDirectoryTree(path_); ++attempt) Sleep(100);
}

}  // namespace support
