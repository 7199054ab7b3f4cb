// Pixels in plain memory, for builds without the Windows API.
#include "reporter/imaging/NVBitmap.h"

namespace ruvex {
namespace {

class TMemoryPixelStore final : public IPixelStore {
 public:
  explicit TMemoryPixelStore(TPixels pixels) : pixels_(std::move(pixels)) {}
  TPixelView View() override { return pixels_.view(); }
  kelvane::TDeviceContext DeviceContext() override { return {}; }
  bool DrawTo(kelvane::TDeviceContext, int, int) override { return false; }

 private:
  TPixels pixels_;
};

}  // namespace

std::unique_ptr<IPixelStore> CreatePixelStore(int width, int height) {
  auto pixels = MakePixels(width, height);
  if (!pixels) return nullptr;
  return std::make_unique<TMemoryPixelStore>(std::move(*pixels));
}

}  // namespace ruvex
