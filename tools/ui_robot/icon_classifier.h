#pragma once
// Which stock icon a message box of another process shows.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace robot {

// Icon handles belong to the process that loaded them, so the icon of a
// message box cannot be compared by handle. The robot compares pixels
// instead: the icon control as it appears on the screen against each stock
// icon drawn here on the same background.
class IconClassifier {
 public:
  // "information", "warning", "error", "question", or "" while the screen
  // matches none of them (not painted yet, or another picture).
  std::string Classify(HWND icon_control) {
    RECT rect;
    if (!GetClientRect(icon_control, &rect)) return std::string();
    POINT origin{0, 0};
    ClientToScreen(icon_control, &origin);
    int width = rect.right, height = rect.bottom;
    if (width <= 0 || height <= 0 || width > 256 || height > 256) return std::string();
    std::vector<uint32_t> screen = CaptureScreen(origin, width, height);
    if (screen.empty()) return std::string();
    uint32_t background = screen[0];
    const struct {
      LPCSTR id;
      const char* name;
    } stock[] = {{IDI_INFORMATION, "information"},
                 {IDI_WARNING, "warning"},
                 {IDI_ERROR, "error"},
                 {IDI_QUESTION, "question"}};
    for (const auto& icon : stock) {
      std::vector<uint32_t> drawn = DrawStockIcon(icon.id, background, width, height);
      if (!drawn.empty() && NearlyEqual(screen, drawn)) return icon.name;
    }
    return std::string();
  }

 private:
  struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* pixels = nullptr;
    Canvas(int width, int height) {
      BITMAPINFO info = {};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = width;
      info.bmiHeader.biHeight = -height;  // top-down rows
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      dc = CreateCompatibleDC(nullptr);
      void* bits = nullptr;
      bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      pixels = static_cast<uint32_t*>(bits);
      if (bitmap) previous = SelectObject(dc, bitmap);
    }
    ~Canvas() {
      if (bitmap) {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
      }
      DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
  };

  static std::vector<uint32_t> CaptureScreen(POINT origin, int width, int height) {
    Canvas canvas(width, height);
    if (!canvas.pixels) return {};
    HDC screen = GetDC(nullptr);
    BOOL copied = BitBlt(canvas.dc, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    if (!copied) return {};
    GdiFlush();
    return std::vector<uint32_t>(canvas.pixels, canvas.pixels + width * height);
  }

  static std::vector<uint32_t> DrawStockIcon(LPCSTR id, uint32_t background, int width,
                                             int height) {
    Canvas canvas(width, height);
    HICON icon = LoadIconA(nullptr, id);
    if (!canvas.pixels || !icon) return {};
    std::fill(canvas.pixels, canvas.pixels + width * height, background);
    DrawIconEx(canvas.dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    return std::vector<uint32_t>(canvas.pixels, canvas.pixels + width * height);
  }

  // Tolerates a few pixels of blending difference, never another picture.
  static bool NearlyEqual(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      for (int shift = 0; shift < 24; shift += 8) {
        int delta =
            static_cast<int>((a[i] >> shift) & 255) - static_cast<int>((b[i] >> shift) & 255);
        if (delta > 24 || delta < -24) {
          ++differing;
          break;
        }
      }
    }
    return differing * 50 <= a.size();
  }
};

}  // namespace robot
