#pragma once
// A client window put inside one of ours ties its thread's input to our user-interface
// thread: once the client stops handling messages, mouse input meant for our own windows
// queues up behind input meant for it and our window stops answering the user.
#include <windows.h>

#include <vector>

namespace host {

// Run by every adoption cycle with the client windows held now (hosted ones and the
// embedded login window): the input of a client the system counts as hung (IsHungAppWindow,
// no message handled for 5 seconds) is detached from our user-interface thread, and attached
// again once the client answers. Asks nothing of the clients themselves.
void KeepInputFromHungClients(const std::vector<HWND>& clientWindows);

}  // namespace host
