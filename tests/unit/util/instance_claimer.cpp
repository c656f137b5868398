// A copy that claims the single-instance name on a signal, for the race in process_test:
// started twice, both wait for one start event, so their claims meet at the same instant.
// Arguments: <instance name> <ready semaphore> <start event> <finish event>.
// Exit code 0: it held the name until the finish event; 1: another copy held it; 2: bad use.
#include <windows.h>

#include "util/single_instance.h"
#include "util/unique_resource.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  util::UniqueHandle ready(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[2]));
  util::UniqueHandle start(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
  util::UniqueHandle finish(OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
  if (!ready || !start || !finish) return 2;
  if (!ReleaseSemaphore(ready.get(), 1, nullptr)) return 2;
  if (WaitForSingleObject(start.get(), 10000) != WAIT_OBJECT_0) return 2;
  if (!util::ClaimSingleInstance(argv[1])) return 1;
  // Holds the name until the test has seen the other copy's answer.
  WaitForSingleObject(finish.get(), 10000);
  return 0;
}
