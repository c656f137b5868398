#pragma once
// Start-up's update check: the fetches (contact text, link address, manifest and, for a
// manifest that came, its signature) and the due decision. It changes nothing on
// screen and ends nothing; the caller acts on the outcome.
#include "util/text.h"

namespace update {

struct UpdateOutcome {
  enum class Kind {
    kNothingDue,         // the manifest lists nothing out of date (an empty manifest included)
    kForcedUpdate,       // dueList holds at least one line: the updater must take over
    kServerUnreachable,  // every fetch came back empty: nothing is due
    kNoServerHost,       // the program was built without an update server host; nothing fetched
  };
  Kind kind = Kind::kNothingDue;
  Text contactText;  // lianxixinxi.dat as GBK, shown by the customisation notice
  Text linkAddress;  // tblianjie.dat as GBK, opened by the link picture
  Text dueList;      // the lines for gxwj.bin, one per due file in manifest order
  int dueFileCount = 0;
};

// Every fetch of one check together ends within this time; a fetch it cuts short counts as
// one the server did not answer.
constexpr unsigned kStartupFetchDeadlineMs = 10000;

// Fetches the contact text, the link address, the manifest and its signature from the
// built-in update server (blocking, one after another, within kStartupFetchDeadlineMs together)
// and decides against the files in programDirectory. A manifest without a valid signature by
// UpdatePublicKeyPem() counts as empty.
UpdateOutcome CheckForUpdates(const Text& programDirectory);
// The same against the server at host ("name" or "name:port"); an empty host fetches nothing.
UpdateOutcome CheckForUpdatesAt(const Text& host, const Text& programDirectory);

}  // namespace update
