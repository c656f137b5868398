#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// The users' systems run with ANSI code page 936; so does the test bed.
TEST(Foundation, AnsiCodePageIs936) { EXPECT_EQ(GetACP(), 936u); }

// Narrow literals are GBK bytes at run time (independent value: GB2312 table, 微 = CE A2, 信 = D0 C5).
TEST(Foundation, NarrowLiteralsAreGbk) {
  const std::string text = "微信";
  ASSERT_EQ(text.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), 0xCE);
  EXPECT_EQ(static_cast<unsigned char>(text[1]), 0xA2);
  EXPECT_EQ(static_cast<unsigned char>(text[2]), 0xD0);
  EXPECT_EQ(static_cast<unsigned char>(text[3]), 0xC5);
}

// Wide literals stay UTF-16.
TEST(Foundation, WideLiteralsAreUtf16) {
  const std::wstring text = L"微信";
  ASSERT_EQ(text.size(), 2u);
  EXPECT_EQ(text[0], 0x5FAE);
  EXPECT_EQ(text[1], 0x4FE1);
}

// A Chinese file name round-trips through the file system (needs the zh_CN locale).
TEST(Foundation, ChineseFileNamesWork) {
  wchar_t dir[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, dir), 0u);
  std::wstring path = std::wstring(dir) + L"测试文件.txt";
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}
