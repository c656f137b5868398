// Holds a file open without sharing, as another program using it would, until it is ended
// (at most a minute). Signals the named event given as its second argument once it holds.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HANDLE file = ::CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  if (ready) ::SetEvent(ready);
  ::Sleep(60000);
  ::CloseHandle(file);
  return 0;
}
