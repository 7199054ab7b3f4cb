#pragma once
// PE files laid out at their image base, as the loader would map them
// (headers and sections, no relocations, no imports bound), served as
// memory and as a module list. This is how decoding, export lookup and
// stack analysis run over real 32-bit images away from Windows.
//
// Files are untrusted: sizes are capped, sections clipped to the image and
// to the file, and images that would overlap are refused.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {

class TImageMemory : public IMemoryReader, public IModuleList {
 public:
  // Larger images than this are refused rather than allocated.
  static constexpr std::uint32_t kMaxImageSize = 256u << 20;

  explicit TImageMemory(std::uint32_t maxImageSize = kMaxImageSize) : maxImageSize_(maxImageSize) {}

  // Lays out `file` at its image base, or at `base` when given (as the
  // loader does for a relocated module; relocations are not applied, so
  // absolute addresses inside keep the preferred base). On failure returns
  // false and, when `error` is given, says why; nothing is added then.
  bool AddImage(const std::vector<std::uint8_t>& file, std::u16string fileName, std::string* error = nullptr,
                std::optional<Address> base = std::nullopt);
  // The same for a file on disk (path in UTF-8).
  bool AddImageFile(const std::string& path, std::string* error = nullptr,
                    std::optional<Address> base = std::nullopt);

  bool Read(Address address, void* out, std::size_t size) const override;
  std::optional<MemoryRegion> RegionAt(Address address) const override;
  std::vector<ModuleEntry> Modules() const override;

  // The parsed headers of the image laid out at `base`, or null.
  const TNtHeaders* HeadersAt(Address base) const;

 private:
  struct TImage {
    ModuleEntry module;
    TNtHeaders headers;
    std::vector<std::uint8_t> bytes;    // sizeOfImage bytes, zero where the file has none
    std::vector<MemoryRegion> regions;  // ascending, committed parts of the image
  };
  const TImage* ImageAt(Address address) const;

  std::uint32_t maxImageSize_;
  std::vector<std::unique_ptr<TImage>> images_;
};

}  // namespace ruvex
