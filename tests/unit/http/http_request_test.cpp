// Fetch against a loopback server: what goes over the wire, what comes back, and that neither
// a slow nor a huge answer holds the caller past its deadline or fills its memory.
#include <gtest/gtest.h>

#include <windows.h>

#include "http/http_request.h"
#include "loopback_server.h"
#include "test_files.h"
#include "tests/support/log_capture.h"

using testing_update::Answer;
using testing_update::LoopbackServer;
using http::FetchEnd;

namespace {

constexpr std::size_t kLimit = 64 * 1024;

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

http::FetchResult FetchWithin(const std::string& address, DWORD deadlineMs, std::size_t limit = kLimit) {
  return http::Fetch(address, limit, http::Deadline(deadlineMs));
}

TEST(Fetch, SendsExactlyTheFourHeadersInOrderWithTheWholeAddressAsReferer) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  Answer answer;
  answer.body = "hello";
  server.Set("/tandrel/gxdata/a.dat", answer);
  const std::string address = server.Address("/tandrel/gxdata/a.dat");

  const http::FetchResult result = FetchWithin(address, 10000);
  EXPECT_EQ(result.end, FetchEnd::kComplete);
  EXPECT_EQ(AsString(result.body), "hello");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& raw = requests[0];
  EXPECT_EQ(raw.compare(0, 26, "GET /tandrel/gxdata/a.dat "), 0) << raw;
  // Beside ours only the transport headers WinHttp itself must send may appear.
  std::vector<std::string> ours;
  for (const std::string& name : testing_update::HeaderNames(raw)) {
    if (name == "Accept" || name == "Referer" || name == "Accept-Language" || name == "User-Agent") {
      ours.push_back(name);
    } else {
      EXPECT_TRUE(name == "Host" || name == "Connection" || name == "Content-Length") << name << "\n" << raw;
    }
  }
  EXPECT_TRUE(testing_update::HeaderValue(raw, "Content-Length").empty() ||
              testing_update::HeaderValue(raw, "Content-Length") == "0") << raw;
  EXPECT_EQ(ours, (std::vector<std::string>{"Accept", "Referer", "Accept-Language", "User-Agent"})) << raw;
  EXPECT_EQ(testing_update::HeaderValue(raw, "Accept"), "*/*");
  EXPECT_EQ(testing_update::HeaderValue(raw, "Referer"), address) << "the port must stay in the Referer";
  EXPECT_NE(address.find(":" + std::to_string(server.Port()) + "/"), std::string::npos);
  EXPECT_EQ(testing_update::HeaderValue(raw, "Accept-Language"), "zh-cn");
  EXPECT_EQ(testing_update::HeaderValue(raw, "User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
}

TEST(Fetch, ErrorPageGivesItsBody) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  Answer answer;
  answer.status = 404;
  answer.body = "<html>no such file</html>";
  server.Set("/missing", answer);
  const http::FetchResult result = FetchWithin(server.Address("/missing"), 10000);
  EXPECT_EQ(result.end, FetchEnd::kComplete);
  EXPECT_EQ(AsString(result.body), "<html>no such file</html>");
}

TEST(Fetch, RefusedConnectionFailsPromptly) {
  // A port that was just free: nothing listens there any more.
  unsigned short port;
  {
    LoopbackServer server;
    ASSERT_TRUE(server.Start());
    port = server.Port();
  }
  const ULONGLONG start = ::GetTickCount64();
  const http::FetchResult result = FetchWithin("http://127.0.0.1:" + std::to_string(port) + "/x.dat", 60000);
  EXPECT_EQ(result.end, FetchEnd::kFailed);
  EXPECT_TRUE(result.body.empty());
  EXPECT_LT(::GetTickCount64() - start, 10000u) << "a refused connection must not wait for the time-outs";
}

// Bodies at and over the limit, announced by Content-Length, sent chunked without any length,
// or ended only by the connection's close. The huge ones are 300 MB: read whole they would cost
// the caller that much memory (and the conversion to text as much again).
TEST(Fetch, BodiesOverTheLimitAreRefusedWithoutBeingReadWhole) {
  struct Case {
    const char* what;
    std::uint64_t bytes;
    bool contentLength;
    bool chunked;
    FetchEnd end;
  } cases[] = {
      {"exactly the limit, with Content-Length", kLimit, true, false, FetchEnd::kComplete},
      {"exactly the limit, chunked", kLimit, false, true, FetchEnd::kComplete},
      {"one byte over, with Content-Length", kLimit + 1, true, false, FetchEnd::kTooLarge},
      {"one byte over, chunked", kLimit + 1, false, true, FetchEnd::kTooLarge},
      {"one byte over, ended by the close", kLimit + 1, false, false, FetchEnd::kTooLarge},
      {"300 MB announced by Content-Length", 300ull << 20, true, false, FetchEnd::kTooLarge},
      {"300 MB chunked, no length", 300ull << 20, false, true, FetchEnd::kTooLarge},
  };
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Answer answer;
    answer.generatedBodyBytes = c.bytes;
    answer.contentLength = c.contentLength;
    answer.chunked = c.chunked;
    server.Set("/body", answer);
    testlog::LogCapture log;
    const ULONGLONG start = ::GetTickCount64();
    const http::FetchResult result = FetchWithin(server.Address("/body"), 30000);
    EXPECT_LT(::GetTickCount64() - start, 10000u);
    EXPECT_EQ(result.end, c.end) << http::FetchEndName(result.end);
    if (c.end == FetchEnd::kComplete) {
      ASSERT_EQ(result.body.size(), c.bytes);
      EXPECT_EQ(result.body[0], 'a');
      EXPECT_EQ(result.body[c.bytes - 1], static_cast<std::uint8_t>('a' + (c.bytes - 1) % 26));
    } else {
      EXPECT_TRUE(result.body.empty());
      EXPECT_TRUE(log.Contains("over the limit")) << log.Lines();
    }
  }
}

// A server that never answers, one that stops after its headers, and one that keeps the
// connection alive with a byte every half second (each byte restarts WinHttp's receive
// time-out, so only the deadline can end that one).
TEST(Fetch, SlowServersAreCutShortAtTheDeadline) {
  struct Case {
    const char* what;
    Answer::Fault fault;
  } cases[] = {
      {"silent", Answer::Fault::kSilent},
      {"stalls after the headers", Answer::Fault::kStall},
      {"trickles", Answer::Fault::kTrickle},
  };
  constexpr DWORD kDeadlineMs = 3000;
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Answer answer;
    answer.body = std::string(1000, 'x');
    answer.fault = c.fault;
    answer.faultAfter = 10;
    answer.trickleIntervalMs = 500;
    server.Set("/slow", answer);
    testlog::LogCapture log;
    const ULONGLONG start = ::GetTickCount64();
    const http::FetchResult result = FetchWithin(server.Address("/slow"), kDeadlineMs);
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_EQ(result.end, FetchEnd::kDeadlinePassed) << http::FetchEndName(result.end);
    EXPECT_TRUE(result.body.empty());
    EXPECT_GE(took, kDeadlineMs - 100);
    EXPECT_LT(took, kDeadlineMs + 1000u);
    EXPECT_TRUE(log.Contains("deadline")) << log.Lines();
  }
}

TEST(Fetch, FetchesSharingADeadlineGetOnlyWhatIsLeftOfIt) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  Answer silent;
  silent.fault = Answer::Fault::kSilent;
  server.Set("/first", silent);
  Answer quick;
  quick.body = "quick";
  server.Set("/second", quick);

  const ULONGLONG start = ::GetTickCount64();
  const http::Deadline shared(2000);
  EXPECT_EQ(http::Fetch(server.Address("/first"), kLimit, shared).end, FetchEnd::kDeadlinePassed);
  EXPECT_EQ(http::Fetch(server.Address("/second"), kLimit, shared).end, FetchEnd::kDeadlinePassed);
  EXPECT_LT(::GetTickCount64() - start, 3000u);
  EXPECT_EQ(server.RequestedPaths(), std::vector<std::string>{"/first"}) << "no fetch starts after the deadline";
}

TEST(RequestHeaders, SplitAtTheFirstColonAndTrimmed) {
  const auto headers = http::RequestHeaders("http://example.test:8080/a?b=c:d");
  ASSERT_EQ(headers.size(), 4u);
  EXPECT_EQ(headers[1].first, "Referer");
  EXPECT_EQ(headers[1].second, "http://example.test:8080/a?b=c:d");
}

}  // namespace
