// SHA-256 through BCrypt against the FIPS 180-2 examples, from memory and from a file read in pieces.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "util/sha256.h"

namespace {

const char kMillionA[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

TEST(Sha256, FipsExamples) {
  struct Case {
    std::string input;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), kMillionA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input.substr(0, 20));
    EXPECT_EQ(util::Sha256Hex(Bytes(c.input.begin(), c.input.end())), c.digest);
  }
}

TEST(Sha256, FileIsHashedAcrossItsReadPiecesAndAMissingFileGivesNothing) {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(sizeof temp, temp);
  const std::string path = std::string(temp) + "tandrel-sha256-test.bin";
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string content(1000000, 'a');  // several of the hash's 64 KiB pieces, the last one short
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
  ::CloseHandle(file);
  EXPECT_EQ(util::Sha256HexOfFile(path), kMillionA);
  ::DeleteFileA(path.c_str());
  EXPECT_EQ(util::Sha256HexOfFile(path), "");
}

TEST(Sha256, HexFormIsSixtyFourHexDigits) {
  const std::string good = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  std::string upper = good;
  for (char& c : upper) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
  struct Case {
    std::string text;
    bool wellFormed;
  } cases[] = {
      {good, true},           {upper, true},         {good.substr(1), false}, {good + "0", false},
      {"g" + good.substr(1), false}, {" " + good.substr(1), false}, {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(util::IsSha256Hex(c.text), c.wellFormed);
  }
}

}  // namespace
