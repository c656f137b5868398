#pragma once
// Launch, adoption and the user's input on tabs and panes.
#include <cstdint>

#include "util/text.h"

namespace ui { class PictureBox; }

namespace host {
// route.dat beside the executable.
Text RouteFilePath();
Text ReadRouteFile();
bool WriteRouteFileIfChanged(const Text& path);  // never writes the empty text
extern const char* const kDefaultWeChatPath;

void LaunchWorker(std::int32_t tabNumber, std::int32_t, std::int32_t, std::int32_t, std::int32_t);
void StartInstanceHost();
void RunMonitor();
void AdoptionCycle();
void RemoveInstance(int position);

void OnTabClick(ui::PictureBox& tab);
void PaneMouseGuard(int button, int action, const Text& pointText);
void AltAKeyHandler(int modifier, int key, int action);
void OnMainWindowMoved();

// Starts no further adoption cycle and waits (at most 2 s) for one under way to end. Called
// before the hosted windows are handed back on the way out, so that no cycle takes a
// released window in again just before our process ends.
void StopAdoption();

// Stops adoption, then hands every hosted client window back to the desktop (top-level,
// enabled, visible). Called on every path on which the program ends itself.
void ReleaseHostedWindows();
}  // namespace host
