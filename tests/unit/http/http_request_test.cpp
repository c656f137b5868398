// SendHttpRequest against a loopback server: what goes over the wire and what comes back.
#include <gtest/gtest.h>

#include <windows.h>

#include "http/http_request.h"
#include "loopback_server.h"
#include "test_files.h"

using testing_update::Answer;
using testing_update::LoopbackServer;

namespace {

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(SendHttpRequest, SendsExactlyTheFourHeadersInOrderWithTheWholeAddressAsReferer) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  Answer answer;
  answer.body = "hello";
  server.Set("/tandrel/gxdata/a.dat", answer);
  const std::string address = server.Address("/tandrel/gxdata/a.dat");

  EXPECT_EQ(AsString(http::SendHttpRequest(address)), "hello");

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

TEST(SendHttpRequest, ErrorPageGivesItsBody) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  Answer answer;
  answer.status = 404;
  answer.body = "<html>no such file</html>";
  server.Set("/missing", answer);
  EXPECT_EQ(AsString(http::SendHttpRequest(server.Address("/missing"))), "<html>no such file</html>");
}

TEST(SendHttpRequest, RefusedConnectionGivesEmptyBytesPromptly) {
  // A port that was just free: nothing listens there any more.
  unsigned short port;
  {
    LoopbackServer server;
    ASSERT_TRUE(server.Start());
    port = server.Port();
  }
  const DWORD start = ::GetTickCount();
  EXPECT_TRUE(http::SendHttpRequest("http://127.0.0.1:" + std::to_string(port) + "/tandrel/gxdata/x.dat").empty());
  EXPECT_LT(::GetTickCount() - start, 10000u) << "a refused connection must not wait for the time-outs";
}

TEST(RequestHeaders, SplitAtTheFirstColonAndTrimmed) {
  const auto headers = http::RequestHeaders("http://example.test:8080/a?b=c:d");
  ASSERT_EQ(headers.size(), 4u);
  EXPECT_EQ(headers[1].first, "Referer");
  EXPECT_EQ(headers[1].second, "http://example.test:8080/a?b=c:d");
}

}  // namespace
