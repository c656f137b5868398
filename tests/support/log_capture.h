#pragma once
// Sends the log to a fresh file in a temporary folder for one test, so the test can read
// back the lines the code under test wrote.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "util/files.h"
#include "util/log.h"
#include "util/text.h"

namespace testlog {

class LogCapture {
 public:
  LogCapture() { util::OpenLogAt(directory_.path(), "capture.log"); }
  ~LogCapture() { util::CloseLog(); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const support::TempDir& directory() const { return directory_; }
  // Everything logged since the capture began.
  Text Lines() const {
    Bytes bytes;
    if (!util::ReadWholeFile(directory_.File("capture.log"), bytes, 1 << 22)) return Text();
    return Text(bytes.begin(), bytes.end());
  }
  bool Contains(const Text& part) const { return Lines().find(part) != Text::npos; }

 private:
  support::TempDir directory_;
};

}  // namespace testlog
