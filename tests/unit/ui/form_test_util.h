#pragma once
// Small helpers for the form tests: a message pump with a deadline, rendering a
// control into a bitmap, PNG fixtures written by libpng, real mouse input.
#include <windows.h>

#include <png.h>

#include <cstdint>
#include <vector>

#include "util/text.h"

namespace formtest {

// Handles this thread's messages until cond() holds or the time is up.
template <class Cond>
bool PumpUntil(Cond cond, int milliseconds = 3000) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (cond()) return true;
    if (GetTickCount64() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

inline std::uint32_t Rgb(int r, int g, int b) { return static_cast<std::uint32_t>(r << 16 | g << 8 | b); }

// A control's client area as the control paints it (WM_PRINTCLIENT into a DIB).
struct Rendering {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
  int Count(std::uint32_t rgb) const {
    int n = 0;
    for (std::uint32_t p : pixels) n += (p & 0xFFFFFF) == rgb;
    return n;
  }
  // Pixels within 32 of rgb in every channel: text edges may be smoothed.
  int CountNear(std::uint32_t rgb) const {
    int n = 0;
    for (std::uint32_t p : pixels) n += Near(p, rgb);
    return n;
  }
  static bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift <= 16; shift += 8) {
      int d = static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF);
      if (d > 32 || d < -32) return false;
    }
    return true;
  }
};

inline Rendering Render(HWND control) {
  Rendering r;
  RECT client;
  GetClientRect(control, &client);
  r.width = client.right;
  r.height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = r.width;
  info.bmiHeader.biHeight = -r.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  r.pixels.assign(p, p + static_cast<std::size_t>(r.width) * r.height);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return r;
}

// An RGBA picture as PNG file bytes, written by libpng. pixels: 0xAARRGGBB, top-down.
inline Bytes EncodePng(int width, int height, const std::vector<std::uint32_t>& argb) {
  std::vector<std::uint8_t> rgba;
  for (std::uint32_t p : argb) {
    rgba.push_back(static_cast<std::uint8_t>(p >> 16));
    rgba.push_back(static_cast<std::uint8_t>(p >> 8));
    rgba.push_back(static_cast<std::uint8_t>(p));
    rgba.push_back(static_cast<std::uint8_t>(p >> 24));
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return Bytes();
  Bytes out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) return Bytes();
  out.resize(size);
  return out;
}

// A real click of the left button at a screen point.
inline void ClickAt(int x, int y) {
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  INPUT in[3]{};
  in[0].type = INPUT_MOUSE;
  in[0].mi.dx = static_cast<LONG>(x * 65535LL / (sw - 1));
  in[0].mi.dy = static_cast<LONG>(y * 65535LL / (sh - 1));
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1] = in[0];
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  in[2] = in[0];
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, in, sizeof(INPUT));
}

}  // namespace formtest
