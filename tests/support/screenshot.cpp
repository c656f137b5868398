// Desktop screenshots as PNG files: what a GUI test saw, for a person to look at.
#include <png.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tests/support/test_support.h"

namespace support {
namespace {

std::string SafeFileName(const std::string& name) {
  std::string safe;
  for (char c : name) {
    bool bad = c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
               c == '|' || static_cast<unsigned char>(c) < 32;
    safe += bad ? '_' : c;
  }
  return safe.empty() ? std::string("screenshot") : safe;
}

std::string ScreenshotDir() {
  char value[MAX_PATH * 2];
  DWORD length = GetEnvironmentVariableA("TANDREL_SCREENSHOT_DIR", value, sizeof value);
  if (length > 0 && length < sizeof value) {
    std::string dir = ToWindowsPath(value);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
  }
  char current[MAX_PATH * 2];
  length = GetCurrentDirectoryA(sizeof current, current);
  return length > 0 && length < sizeof current ? std::string(current) : std::string(".");
}

// Rows top-down, 3 bytes per pixel in B, G, R order, each row padded to 4 bytes.
bool WritePng(const std::string& path, int width, int height, const unsigned char* pixels, int stride) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(pixels + y * stride));
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

}  // namespace

std::string SaveScreenshot(const std::string& name) {
  int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width <= 0 || height <= 0) return std::string();

  HDC screen = GetDC(nullptr);
  if (!screen) return std::string();
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down, as PNG rows go
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = memory ? CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  std::string written;
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY | CAPTUREBLT)) {
      GdiFlush();
      std::string dir = ScreenshotDir();
      std::string base = dir + "\\" + SafeFileName(name);
      std::string path = base + ".png";
      for (int n = 2; FileExists(path) && n < 1000; ++n) path = base + "-" + std::to_string(n) + ".png";
      int stride = ((width * 24 + 31) / 32) * 4;
      if (WritePng(path, width, height, static_cast<const unsigned char*>(bits), stride)) written = path;
    }
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

std::string SaveScreenshotOfCurrentTest(const std::string& suffix) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("no-test");
  if (!suffix.empty()) name += "-" + suffix;
  return SaveScreenshot(name);
}

}  // namespace support
