#pragma once
// INVBitmap: a 32-bit bitmap (a DIB section with its memory device context
// on Windows, plain memory elsewhere) with its BMP and PNG encodings.
#include <memory>
#include <string>

#include "common/files/FileSystem.h"
#include "common/win/NativeHandles.h"
#include "reporter/imaging/Pixels.h"
#include "reporter/imaging/Png.h"

namespace ruvex {

using kelvane::DefaultFileSystem;
using kelvane::IFileSystem;

class INVBitmap;
using PNVBitmap = std::shared_ptr<INVBitmap>;

class INVBitmap {
 public:
  virtual ~INVBitmap() = default;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  // Copies the picture to a device context (an HDC); false without one.
  virtual bool Draw(kelvane::TDeviceContext deviceContext, int x, int y) = 0;
  virtual std::string AsBmpStr() = 0;
  // Never changes the bitmap: a grey encoding works on the side.
  virtual std::string AsPngStr(TPngFormat format) = 0;
  // Write through a fresh file that replaces the target when complete.
  virtual bool SaveBmp(const std::u16string& fileName) = 0;
  virtual bool SavePng(const std::u16string& fileName, TPngFormat format) = 0;
  // The picture fitted into the maximum size; null for an empty maximum.
  virtual PNVBitmap Zoom(int maxWidth, int maxHeight) = 0;
  virtual TPixelView Pixels() = 0;
  // The memory device context that holds the picture (an HDC), or null.
  virtual kelvane::TDeviceContext DeviceContext() = 0;
};

// Where the pixels live: a DIB section on Windows, memory elsewhere.
class IPixelStore {
 public:
  virtual ~IPixelStore() = default;
  virtual TPixelView View() = 0;
  virtual kelvane::TDeviceContext DeviceContext() = 0;
  virtual bool DrawTo(kelvane::TDeviceContext deviceContext, int x, int y) = 0;
};

// The platform's store for a picture of that size, all pixels zero; null
// for an empty or too large size or when the system refuses it.
std::unique_ptr<IPixelStore> CreatePixelStore(int width, int height);

// A new bitmap of that size, all black; null when it cannot be made.
PNVBitmap CreateNVBitmap(int width, int height, IFileSystem& fs = DefaultFileSystem());

// The BMP file as a new 32-bit bitmap of the same size; null when the file
// cannot be read or is no BMP file we read.
PNVBitmap LoadBitmapFile(const std::u16string& fileName, IFileSystem& fs = DefaultFileSystem());

}  // namespace ruvex
