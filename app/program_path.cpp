#include "app/program_path.h"

Text DirectoryOfPath(const Text& path) {
  std::size_t lastSeparator = Text::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < path.size()) {
      ++i;  // the trail byte belongs to this character
    } else if (c == '\\') {
      lastSeparator = i;
    }
  }
  return lastSeparator == Text::npos ? Text() : path.substr(0, lastSeparator);
}
