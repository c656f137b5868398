// The update check of every start: contact text, link address, manifest, and from the
// manifest the files that are out of date.
#include "update/update_check.h"

#include "http/http_request.h"
#include "update/due_list.h"
#include "update/manifest.h"
#include "update/update_server.h"

namespace update {
namespace {

Text Fetch(const Text& host, const char* file) {
  return util::Utf8ToGbk(http::SendHttpRequest("http://" + host + "/tandrel/gxdata/" + file));
}

}  // namespace

UpdateOutcome CheckForUpdatesAt(const Text& host, const Text& programDirectory) {
  UpdateOutcome outcome;
  if (host.empty()) {
    outcome.kind = UpdateOutcome::Kind::kNoServerHost;
    return outcome;
  }
  outcome.contactText = Fetch(host, "lianxixinxi.dat");
  outcome.linkAddress = Fetch(host, "tblianjie.dat");
  const Text manifest = Fetch(host, "txgeng.dat");
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
