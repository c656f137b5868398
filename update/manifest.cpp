#include "update/manifest.h"

namespace update {
namespace {

Text LowerAscii(Text text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

ManifestEntry ParseManifestLine(const Text& line) {
  ManifestEntry entry;
  entry.name = util::TextBetween(line, "<yingyong>", "</yingyong>");
  entry.version = util::TextBetween(line, "<banben>", "</banben>");
  entry.address = util::TextBetween(line, "<dizhi>", "</dizhi>");
  entry.sha256 = LowerAscii(util::TextBetween(line, "<sha256>", "</sha256>"));
  return entry;
}

std::vector<ManifestEntry> ParseManifest(const Text& text) {
  std::vector<ManifestEntry> entries;
  for (const Text& line : util::SplitText(text, "\r\n")) entries.push_back(ParseManifestLine(line));
  return entries;
}

bool IsDue(const ManifestEntry& entry, bool existsNoted, const Text& localVersion) {
  if (entry.name.empty()) return false;
  if (localVersion != entry.version) return true;
  return !existsNoted && !entry.address.empty();
}

Text DueLine(const ManifestEntry& entry) {
  Text line = "<wjmc>" + entry.name + "</wjmc><wjdz>" + entry.address + "</wjdz>";
  if (!entry.version.empty()) line += "<wjbb>" + entry.version + "</wjbb>";
  if (!entry.sha256.empty()) line += "<sha256>" + entry.sha256 + "</sha256>";
  return line + "\r\n";
}

DueEntry ParseDueLine(const Text& line) {
  DueEntry entry;
  entry.name = util::TextBetween(line, "<wjmc>", "</wjmc>");
  entry.address = util::TextBetween(line, "<wjdz>", "</wjdz>");
  entry.version = util::TextBetween(line, "<wjbb>", "</wjbb>");
  entry.sha256 = LowerAscii(util::TextBetween(line, "<sha256>", "</sha256>"));
  return entry;
}

std::vector<DueEntry> ParseDueList(const Text& text) {
  std::vector<DueEntry> entries;
  for (const Text& line : util::SplitText(text, "\r\n")) {
    if (!line.empty()) entries.push_back(ParseDueLine(line));
  }
  return entries;
}

}  // namespace update
