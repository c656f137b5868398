// The update check of every start: contact text, link address, manifest, and from the
// manifest the files that are out of date.
#include "update/update_check.h"

#include <utility>

#include "http/http_request.h"
#include "update/due_list.h"
#include "update/manifest.h"
#include "update/manifest_signature.h"
#include "update/update_server.h"
#include "util/log.h"

namespace update {
namespace {

// A fetch that failed, was cut short or was too large gives no bytes, as an unreachable
// server does; the reason is in the log.
Bytes FetchBytes(const Text& host, const char* file, std::size_t bodyLimit, const http::Deadline& deadline) {
  http::FetchResult result = http::Fetch("http://" + host + "/tandrel/gxdata/" + file, bodyLimit, deadline);
  if (result.end != http::FetchEnd::kComplete) {
    util::LogWarning("update check: %s %s, taken as empty", file, http::FetchEndName(result.end));
    return {};
  }
  return std::move(result.body);
}

Text Fetch(const Text& host, const char* file, std::size_t bodyLimit, const http::Deadline& deadline) {
  return util::Utf8ToGbk(FetchBytes(host, file, bodyLimit, deadline));
}

// The manifest as text when txgeng.sig is the built-in key's signature of its exact bytes;
// otherwise empty, as a manifest that lists nothing: anyone on the way to the server could
// have written it.
Text SignedManifest(const Text& host, const Bytes& manifest, const http::Deadline& deadline) {
  if (manifest.empty()) return {};  // nothing to check, nothing due
  const Bytes signature = FetchBytes(host, "txgeng.sig", http::kTextBodyLimit, deadline);
  const ManifestSignature check = CheckManifestSignature(manifest, signature, UpdatePublicKeyPem());
  if (check != ManifestSignature::kValid) {
    util::LogWarning("update check: the signature of txgeng.dat is %s: the manifest is taken as empty",
                     ManifestSignatureName(check));
    return {};
  }
  return util::Utf8ToGbk(manifest);
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
  const Bytes manifestBytes = FetchBytes(host, "txgeng.dat", http::kManifestBodyLimit, deadline);
  const Text manifest = SignedManifest(host, manifestBytes, deadline);
  outcome.dueList = BuildDueList(manifest, programDirectory);
  outcome.dueFileCount = static_cast<int>(ParseDueList(outcome.dueList).size());
  if (!outcome.dueList.empty()) {
    outcome.kind = UpdateOutcome::Kind::kForcedUpdate;
  } else if (outcome.contactText.empty() && outcome.linkAddress.empty() && manifestBytes.empty()) {
    // The HTTP status is never looked at: a server that cannot be reached gives three empty texts.
    outcome.kind = UpdateOutcome::Kind::kServerUnreachable;
  }
  return outcome;
}

UpdateOutcome CheckForUpdates(const Text& programDirectory) {
  return CheckForUpdatesAt(UpdateServerHost(), programDirectory);
}

}  // namespace update
