#pragma once
// The stand-in client's script: what a test wants the client to do, as plain values.
// The text format is described in README.md beside this file and at the top of
// standin_client.cpp; ParseStandinScript is pure so tests can check it without processes.
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// What the client shows first.
enum class StartMode { kLogin, kMain, kHidden };

// When a timed step fires: milliseconds after an anchor.
enum class Anchor { kStart, kLoginShown, kMainShown };
struct When {
  Anchor anchor = Anchor::kStart;
  int ms = -1;  // -1: never
  bool Set() const { return ms >= 0; }
};

struct Script {
  StartMode start = StartMode::kLogin;
  int loginWindowDelayMs = 0;
  int busyMs = 0;              // sleep without reading messages before anything; -1 for ever
  int mainWidth = 800, mainHeight = 600;
  int mainX = 60, mainY = 40;
  bool hasColour = false;
  std::uint32_t colour = 0;    // COLORREF (0x00BBGGRR) when hasColour
  When login;                  // log in by itself
  When resize;
  int resizeWidth = 0, resizeHeight = 0;
  When alert;
  When exit;
  int exitCode = 0;
  When crash;
  When hang;
  int hangMs = -1;             // -1: for ever
  std::string logPath;         // empty: standin.log beside the executable
  std::vector<std::string> errors;  // "line N: ..." for every line that was not understood
};

// Parses the script for the instance with the given ordinal (1-based): lines under "[N]"
// apply only to instance N, lines before any section or under "[all]" to every instance.
// Later lines override earlier ones. Lines may be separated by '\n', "\r\n" or '|'.
Script ParseStandinScript(const std::string& text, int instance);

// Avatar colour of a process when the script names none: distinct for every process id below
// 131072; each channel lies in 64..219, so it never equals the window's own greys (46, 245).
std::uint32_t AvatarColourForProcess(std::uint32_t processId);

}  // namespace standin
