#pragma once
// The update manifest (txgeng.dat) and the due list handed to the updater (gxwj.bin).
#include <vector>

#include "util/text.h"

namespace update {

// One manifest line: <yingyong>name</yingyong><banben>version</banben><dizhi>address</dizhi>
// and <sha256>the file's SHA-256 in hex</sha256> (older readers ignore that tag), the tags
// anywhere in the line; a missing tag gives an empty field.
struct ManifestEntry {
  Text name;
  Text version;  // expected FileVersion string, or empty
  Text address;  // download address
  Text sha256;   // the published file's SHA-256 as given, lower-cased
};

ManifestEntry ParseManifestLine(const Text& line);
// Every line between CR LFs, in order (lines without a name included: they are never due).
std::vector<ManifestEntry> ParseManifest(const Text& text);

// The due rule. existsNoted: whether the file was seen; callers look only when the entry
// names no version and pass true otherwise. localVersion: the file's FileVersion or empty.
bool IsDue(const ManifestEntry& entry, bool existsNoted, const Text& localVersion);

// One due-list line: "<wjmc>name</wjmc><wjdz>address</wjdz>" and, when the manifest named a
// version, "<wjbb>version</wjbb>" (readers that do not know the tag ignore it), then, when it
// named a hash, "<sha256>hex</sha256>", then CR LF.
Text DueLine(const ManifestEntry& entry);

// A line of gxwj.bin as the updater reads it.
struct DueEntry {
  Text name;
  Text address;
  Text version;  // empty: no version to check
  Text sha256;   // the hash the download must have, lower-case hex; empty: none given
};
DueEntry ParseDueLine(const Text& line);
// The non-empty lines of a due list, in order.
std::vector<DueEntry> ParseDueList(const Text& text);

}  // namespace update
