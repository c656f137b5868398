#pragma once
namespace update {
// Start-up's update check: returns when nothing is due, otherwise hands off and ends the process.
void CheckForUpdates();
}  // namespace update
