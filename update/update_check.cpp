// The update check of every start: contact text, link address, manifest; a forced
// hand-off to the updater when any listed file is out of date.
#include "update/update_check.h"

#include <windows.h>

#include "app/main_form.h"
#include "app/program_state.h"
#include "http/http_request.h"
#include "update/due_list.h"
#include "update/handoff.h"
#include "update/update_server.h"
#include "util/delay.h"

namespace update {
namespace {

constexpr int kAfterCheckDelayMs = 1000;

Text Fetch(const Text& host, const char* file) {
  return util::Utf8ToGbk(http::SendHttpRequest("http://" + host + "/tandrel/gxdata/" + file));
}

}  // namespace

void CheckForUpdates() {
  const Text host = UpdateServerHost();
  if (host.empty()) ::TerminateProcess(::GetCurrentProcess(), 0);

  Program().ContactText = Fetch(host, "lianxixinxi.dat");
  Program().LinkAddress = Fetch(host, "tblianjie.dat");
  if (!Program().LinkAddress.empty() && Form().linkPicture) Form().linkPicture->SetVisible(true);

  const Text dueList = BuildDueList(Fetch(host, "txgeng.dat"), ProgramDirectory());
  // HandOff returns only when gxwj.bin could not be written; then carry on as if nothing were due.
  if (!dueList.empty()) HandOff(ProgramDirectory(), dueList);

  if (Form().customisationLabel) Form().customisationLabel->SetVisible(true);
  util::Delay(kAfterCheckDelayMs);
}

}  // namespace update
