#include "reporter/imaging/NVBitmap.h"

#include <cstring>

#include "reporter/imaging/Bmp.h"
#include "reporter/imaging/Zoom.h"

namespace ruvex {
namespace {

class TINVBitmap final : public INVBitmap {
 public:
  TINVBitmap(std::unique_ptr<IPixelStore> store, IFileSystem& fs) : store_(std::move(store)), fs_(fs) {}

  int GetWidth() const override { return store_->View().width; }
  int GetHeight() const override { return store_->View().height; }
  bool Draw(kelvane::TDeviceContext dc, int x, int y) override { return dc && store_->DrawTo(dc, x, y); }
  std::string AsBmpStr() override { return EncodeBmp(store_->View()); }
  std::string AsPngStr(TPngFormat format) override { return EncodePng(store_->View(), format); }
  bool SaveBmp(const std::u16string& fileName) override { return Save(fileName, AsBmpStr()); }
  bool SavePng(const std::u16string& fileName, TPngFormat format) override {
    return Save(fileName, AsPngStr(format));
  }
  PNVBitmap Zoom(int maxWidth, int maxHeight) override;
  TPixelView Pixels() override { return store_->View(); }
  kelvane::TDeviceContext DeviceContext() override { return store_->DeviceContext(); }

 private:
  bool Save(const std::u16string& fileName, const std::string& bytes) {
    return !bytes.empty() && kelvane::WriteFileReplacing(fs_, fileName, bytes);
  }

  std::unique_ptr<IPixelStore> store_;
  IFileSystem& fs_;
};

PNVBitmap BitmapOf(const TPixelView& pixels, IFileSystem& fs) {
  PNVBitmap bitmap = CreateNVBitmap(pixels.width, pixels.height, fs);
  if (bitmap) std::memcpy(bitmap->Pixels().bits, pixels.bits, pixels.stride() * std::size_t(pixels.height));
  return bitmap;
}

PNVBitmap TINVBitmap::Zoom(int maxWidth, int maxHeight) {
  const TPixelView view = store_->View();
  const TSize size = FitInside(view.width, view.height, maxWidth, maxHeight);
  if (size.width == 0) return nullptr;
  auto scaled = Resample(view, size.width, size.height);
  return scaled ? BitmapOf(scaled->view(), fs_) : nullptr;
}

}  // namespace

PNVBitmap CreateNVBitmap(int width, int height, IFileSystem& fs) {
  auto store = CreatePixelStore(width, height);
  if (!store) return nullptr;
  return std::make_shared<TINVBitmap>(std::move(store), fs);
}

PNVBitmap LoadBitmapFile(const std::u16string& fileName, IFileSystem& fs) {
  auto file = fs.ReadSource(fileName, kMaxPixels * 4 + 65536);
  if (!file) return nullptr;
  auto pixels = DecodeBmp(file->data);
  return pixels ? BitmapOf(pixels->view(), fs) : nullptr;
}

}  // namespace ruvex
