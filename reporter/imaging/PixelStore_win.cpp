// Pixels in a DIB section selected into a memory device context, so that
// GDI can draw into them (screen capture) and copy them out (Draw).
#include <windows.h>

#include "common/win/NativeHandles_win.h"

#include "reporter/imaging/NVBitmap.h"

namespace ruvex {
namespace {

class TDibPixelStore final : public IPixelStore {
 public:
  TDibPixelStore(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(std::size_t(width) * std::size_t(height) * 4);
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_) return;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    if (bitmap_ && bits_) {
      oldBitmap_ = static_cast<HBITMAP>(SelectObject(dc_, bitmap_));
      ZeroMemory(bits_, info.bmiHeader.biSizeImage);
    }
  }
  ~TDibPixelStore() override {
    if (dc_ && oldBitmap_) SelectObject(dc_, oldBitmap_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }
  bool ok() const { return dc_ && bitmap_ && bits_ && oldBitmap_; }

  TPixelView View() override { return {width_, height_, bits_}; }
  kelvane::TDeviceContext DeviceContext() override { return kelvane::FromHdc(dc_); }
  bool DrawTo(kelvane::TDeviceContext target, int x, int y) override {
    GdiFlush();
    return BitBlt(kelvane::ToHdc(target), x, y, width_, height_, dc_, 0, 0, SRCCOPY) != 0;
  }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr, oldBitmap_ = nullptr;
  std::uint8_t* bits_ = nullptr;
};

}  // namespace

std::unique_ptr<IPixelStore> CreatePixelStore(int width, int height) {
  if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxPixels) return nullptr;
  auto store = std::make_unique<TDibPixelStore>(width, height);
  if (!store->ok()) return nullptr;
  return store;
}

}  // namespace ruvex
