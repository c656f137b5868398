// Instance host figures under the stand-in client: adoption latency, idle CPU with six
// hosted, memory, and GDI/USER objects, handles and threads before and after 50 rounds
// of adopting and removing. Prints them; asserts nothing.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/host/host_e2e.h"

namespace {

using hosttest::TandrelRun;

struct Resources {
  DWORD gdi = 0, user = 0, handles = 0, threads = 0;
  SIZE_T privateBytes = 0, workingSet = 0;
};

Resources Measure(HANDLE process, DWORD pid) {
  Resources r;
  r.gdi = GetGuiResources(process, GR_GDIOBJECTS);
  r.user = GetGuiResources(process, GR_USEROBJECTS);
  GetProcessHandleCount(process, &r.handles);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snapshot, &te); ok; ok = Thread32Next(snapshot, &te)) {
      if (te.th32OwnerProcessID == pid) ++r.threads;
    }
    CloseHandle(snapshot);
  }
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof pmc;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
    r.privateBytes = pmc.PrivateUsage;
    r.workingSet = pmc.WorkingSetSize;
  }
  return r;
}

void Print(const char* label, const Resources& r) {
  std::printf("%-28s GDI %4lu  USER %4lu  handles %5lu  threads %3lu  private %7lu KiB  working set %7lu KiB\n",
              label, static_cast<unsigned long>(r.gdi), static_cast<unsigned long>(r.user),
              static_cast<unsigned long>(r.handles), static_cast<unsigned long>(r.threads),
              static_cast<unsigned long>(r.privateBytes / 1024), static_cast<unsigned long>(r.workingSet / 1024));
}

ULONGLONG CpuTime100ns(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  auto value = [](const FILETIME& f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return value(kernel) + value(user);
}

// From the client's own log: "shown main" to the first "moved main 0 0 <pane>" after it.
int AdoptionLatencyMs(const TandrelRun& run, DWORD pid) {
  const std::string pw = std::to_string(run.PaneWidth()), ph = std::to_string(run.PaneHeight());
  int shown = -1;
  bool parented = false;
  for (const standin::LogLine& line : standin::ReadLog(run.Client())) {
    if (line.pid != pid) continue;
    if (line.event == "shown" && !line.args.empty() && line.args[0] == "main" && shown < 0) shown = line.msOfDay;
    if (line.event == "parent" && line.args.size() >= 2 && line.args[0] == "main" && line.args[1] != "0") parented = true;
    if (shown >= 0 && parented && line.event == "moved" &&
        line.args == std::vector<std::string>{"main", "0", "0", pw, ph}) {
      return line.msOfDay - shown;
    }
  }
  return -1;
}

bool EndAndWaitForTabs(TandrelRun& run, size_t tabs) {
  run.EndClients();
  return support::WaitFor([&] { return run.Tabs().size() == tabs; }, 20000);
}

TEST(HostBenchmark, Figures) {
  TandrelRun run;
  TandrelRun::Options options;
  options.clientScript = "start main\n";
  ASSERT_TRUE(run.Start(options)) << run.failure;

  // Adoption latency over four fillings of the six panes.
  std::vector<int> latencies;
  for (int round = 0; round < 4; ++round) {
    for (int k = 1; k <= 6; ++k) {
      DWORD pid = 0;
      HWND w = run.StartClientAndWaitForAdoption(&pid);
      ASSERT_NE(w, nullptr);
      ASSERT_TRUE(run.WaitForHosted(w, k));
      ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == (k < 6 ? k + 1u : 6u); }, 5000));
      const int ms = AdoptionLatencyMs(run, pid);
      if (ms >= 0) latencies.push_back(ms);
    }
    if (round < 3) {
      ASSERT_TRUE(EndAndWaitForTabs(run, 1));
    }
  }
  std::sort(latencies.begin(), latencies.end());
  ASSERT_FALSE(latencies.empty());
  std::printf("adoption latency (shown -> sized child of its host), %zu adoptions: median %d ms, worst %d ms\n",
              latencies.size(), latencies[latencies.size() / 2], latencies.back());

  // Idle with six hosted.
  support::PumpMessagesFor(2000);
  const ULONGLONG cpu0 = CpuTime100ns(run.Process());
  const ULONGLONG wall0 = GetTickCount64();
  support::PumpMessagesFor(60000);
  const ULONGLONG cpu1 = CpuTime100ns(run.Process());
  const ULONGLONG wall1 = GetTickCount64();
  std::printf("idle CPU with six hosted over %.1f s: %.2f %% of one core\n", (wall1 - wall0) / 1000.0,
              100.0 * (cpu1 - cpu0) / 10000.0 / static_cast<double>(wall1 - wall0));
  Print("six hosted, idle:", Measure(run.Process(), run.Pid()));

  // Leaks: 50 rounds of adopting one and removing it.
  ASSERT_TRUE(EndAndWaitForTabs(run, 1));
  support::PumpMessagesFor(2000);
  const Resources before = Measure(run.Process(), run.Pid());
  for (int round = 0; round < 50; ++round) {
    HWND w = run.StartClientAndWaitForAdoption();
    ASSERT_NE(w, nullptr) << "round " << round;
    ASSERT_TRUE(support::WaitFor([&] { return run.Tabs().size() == 2; }, 5000)) << "round " << round;
    ASSERT_TRUE(EndAndWaitForTabs(run, 1)) << "round " << round;
  }
  support::PumpMessagesFor(2000);
  const Resources after = Measure(run.Process(), run.Pid());
  Print("before 50 adopt/remove:", before);
  Print("after 50 adopt/remove:", after);
  std::printf("growth: GDI %+ld, USER %+ld, handles %+ld, threads %+ld, private %+ld KiB\n",
              static_cast<long>(after.gdi) - static_cast<long>(before.gdi),
              static_cast<long>(after.user) - static_cast<long>(before.user),
              static_cast<long>(after.handles) - static_cast<long>(before.handles),
              static_cast<long>(after.threads) - static_cast<long>(before.threads),
              (static_cast<long>(after.privateBytes) - static_cast<long>(before.privateBytes)) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
