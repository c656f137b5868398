#include "test_files.h"

#include <windows.h>

namespace testing_update {

std::string ExecutableDirectory() {
  char buffer[MAX_PATH * 2] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  std::string path(buffer, length);
  return path.substr(0, path.find_last_of('\\'));
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(full.c_str());
      }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryA(path.c_str());
}

std::string FreshDirectory(const std::string& name) {
  char temp[MAX_PATH] = {};
  DWORD length = ::GetTempPathA(sizeof temp, temp);
  std::string path = std::string(temp, length) + name;
  RemoveTree(path);
  ::CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() || ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  ::CloseHandle(file);
  return bytes;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {
void Collect(const std::string& root, const std::string& relative, std::map<std::string, std::string>& out) {
  WIN32_FIND_DATAA found;
  const std::string folder = relative.empty() ? root : root + "\\" + relative;
  HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string child = relative.empty() ? name : relative + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[child + "\\"] = "";
      Collect(root, child, out);
    } else {
      out[child] = ReadBytes(root + "\\" + child);
    }
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}
}  // namespace

std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  Collect(root, "", files);
  return files;
}

std::string FromUnixPath(const std::string& unixPath) {
  if (unixPath.empty()) return {};
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace testing_update
