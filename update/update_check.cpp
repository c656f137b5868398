// The update check of every start: contact text, link address, manifest, and from the
// manifest the files that are out of date.
#include "update/update_check.h"

#include "http/http_request.h"
#include "update/due_list.h"
#include "update/manifest.h"
#include "update/update_server.h"
#include "util/log.h"

namespace update {
namespace {

// A fetch that failed, was cut short or was too large gives the empty text, as an unreachable
// server does; the reason is in the log.
Text Fetch(const Text& host, const char* file, std::size_t bodyLimit, const http::Deadline& deadline) {
  const http::FetchResult result = http::Fetch("http://" + host + "/tandrel/gxdata/" + file, bodyLimit, deadline);
  if (result.end != http::FetchEnd::kComplete) {
    util::LogWarning("update check: %s %s, taken as empty", file, http::FetchEndName(result.end));
    return {};
  }
  return util::Utf8ToGbk(result.body);
}

}  // namespace

UpdateOutcome CheckForUpdatesAt(const Text& host, const Text& programDirectory) {
  UpdateOutcome outcome;
  if (host.empty()) {
    outcome.kind = UpdateOutcome::Kind::kNoServerHost;
    return outcome;
  }
  // One deadline for every fetch of the check: however the server behaves, start-up goes on.
  const http::Deadline deadline(kStartupFetchDeadlineMs);
  outcome.contactText = Fetch(host, "lianxixinxi.dat", http::kTextBodyLimit, deadline);
  outcome.linkAddress = Fetch(host, "tblianjie.dat", http::kTextBodyLimit, deadline);
  const Text manifest = Fetch(host, "txgeng.dat", http::kManifestBodyLimit, deadline);
  outcome.dueList = BuildDueList(manifest, programDirectory);
  outcome.dueFileCount = static_cast<int>(ParseDueList(outcome.dueList).size());
  if (!outcome.dueList.empty()) {
    outcome.kind = UpdateOutcome::Kind::kForcedUpdate;
  } else if (outcome.contactText.empty() && outcome.linkAddress.empty() && manifest.empty()) {
    // The HTTP status is never looked at: a server that cannot be reached gives three empty texts.
    outcome.kind = UpdateOutcome::Kind::kServerUnreachable;
  }
  return outcome;
}

UpdateOutcome CheckForUpdates(const Text& programDirectory) {
  return CheckForUpdatesAt(UpdateServerHost(), programDirectory);
}

}  // namespace update
