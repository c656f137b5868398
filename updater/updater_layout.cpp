#include "updater/updater_layout.h"

#include <cmath>
#include <cstdio>

namespace updater {

const char* const kFailedLabel = "下载失败";

int WindowHeight(int rowCount) { return (rowCount - 1) * kRowPitch + 104; }

int RowTop(int row) { return (row - 1) * kRowPitch + kFirstRowTop; }

Text NameLabel(const Text& fileName) { return util::TextBefore(fileName, ".") + "："; }

std::int64_t ProgressScale(std::int64_t total) {
  if (total > 1000000000) return 1000000;
  if (total > 100000000) return 100000;
  if (total > 10000000) return 10000;
  if (total > 1000000) return 1000;
  if (total > 100000) return 100;
  if (total > 10000) return 10;
  return 1;
}

Text SizeText(std::int64_t bytes) {
  const double tenths = std::round(static_cast<double>(bytes) / 1048576.0 * 10.0);
  char text[48];
  if (tenths == 0.0) {
    std::snprintf(text, sizeof text, "%lldB", static_cast<long long>(bytes));
  } else if (std::fmod(tenths, 10.0) == 0.0) {
    std::snprintf(text, sizeof text, "%.0fMB", tenths / 10.0);
  } else {
    std::snprintf(text, sizeof text, "%.1fMB", tenths / 10.0);
  }
  return text;
}

Text SizeLabel(std::int64_t received, std::int64_t total) { return SizeText(received) + "/" + SizeText(total); }

}  // namespace updater
