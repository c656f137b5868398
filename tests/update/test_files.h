#pragma once
// Files and folders for the update tests; every folder lives under the Wine user's temp dir.
#include <map>
#include <string>

namespace testing_update {

std::string ExecutableDirectory();
// An empty folder of that name under the temp folder (emptied first when it exists).
std::string FreshDirectory(const std::string& name);
void RemoveTree(const std::string& path);

bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);  // empty when missing
bool Exists(const std::string& path);

// Every file below root (relative names, "\" separated) with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& root);

// A Unix path of the build as Wine sees it (Z: drive); empty stays empty.
std::string FromUnixPath(const std::string& unixPath);

}  // namespace testing_update
