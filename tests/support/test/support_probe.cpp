// Started by the support library's tests: "exit N" returns N, "sleep MS" sleeps, "spawn FILE"
// starts a sleeping copy of itself, writes its process id into FILE and ends half a second
// later; anything else runs the tests below (one of them fails when TANDREL_PROBE_FAIL is set).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/test_support.h"

TEST(Probe, Fails) {
  if (!std::getenv("TANDREL_PROBE_FAIL")) GTEST_SKIP() << "failing only on request";
  FAIL() << "asked to fail";
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "sleep") == 0) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "spawn") == 0) {
    char self[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    support::Process child = support::StartProcess("\"" + std::string(self) + "\" sleep 60000");
    if (!child || !support::WriteWholeFile(argv[2], std::to_string(child.id))) return 2;
    Sleep(500);
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
