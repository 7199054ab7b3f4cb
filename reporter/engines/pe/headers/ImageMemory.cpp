#include "reporter/engines/pe/headers/ImageMemory.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

bool IsPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::uint64_t AlignUp(std::uint64_t v, std::uint32_t alignment) {
  return (v + alignment - 1) / alignment * alignment;
}

// Sorts the regions and trims overlaps away, so that every address belongs
// to at most one region; the earlier region wins, as the headers do.
std::vector<MemoryRegion> Disjoint(std::vector<MemoryRegion> regions) {
  std::stable_sort(regions.begin(), regions.end(),
                   [](const MemoryRegion& a, const MemoryRegion& b) { return a.base < b.base; });
  std::vector<MemoryRegion> out;
  for (MemoryRegion r : regions) {
    if (!out.empty()) {
      const Address prevEnd = out.back().base + out.back().size;
      if (r.base < prevEnd) {
        const Address end = r.base + r.size;
        if (end <= prevEnd) continue;
        r.size = end - prevEnd;
        r.base = prevEnd;
      }
    }
    if (r.size != 0) out.push_back(r);
  }
  return out;
}

// A file's bytes at offset 0, without a copy.
class TFileView : public IMemoryReader {
 public:
  explicit TFileView(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  bool Read(Address address, void* out, std::size_t size) const override {
    if (address > bytes_.size() || size > bytes_.size() - address) return false;
    if (size != 0) std::memcpy(out, bytes_.data() + address, size);
    return true;
  }
  std::optional<MemoryRegion> RegionAt(Address address) const override {
    if (address >= bytes_.size()) return std::nullopt;
    return MemoryRegion{0, bytes_.size(), 0, true, false, false, false};
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
};

}  // namespace

bool TImageMemory::AddImage(const std::vector<std::uint8_t>& file, std::u16string fileName, std::string* error,
                            std::optional<Address> base) {
  auto headers = ImageNtHeaders(TFileView(file), 0);
  if (!headers) return Fail(error, "not a PE image (no MZ header, PE signature or optional header)");
  if (base) headers->imageBase = *base;
  const TNtHeaders& h = *headers;
  if (h.sizeOfImage == 0 || h.sizeOfImage > maxImageSize_)
    return Fail(error, "size of image " + std::to_string(h.sizeOfImage) + " is out of range");
  if (!IsPowerOfTwo(h.sectionAlignment) || h.sectionAlignment > (1u << 24))
    return Fail(error, "section alignment " + std::to_string(h.sectionAlignment) + " is not a power of two");
  const Address limit = h.pe32Plus ? ~Address{0} : Address{0xFFFFFFFFu};
  if (h.imageBase == 0 || h.imageBase > limit - h.sizeOfImage)
    return Fail(error, "image base does not leave room for the image");
  for (const auto& other : images_) {
    const ModuleEntry& m = other->module;
    if (h.imageBase < m.base + m.size && m.base < h.imageBase + h.sizeOfImage)
      return Fail(error, "image overlaps the one already laid out at " + std::to_string(m.base));
  }

  auto image = std::make_unique<TImage>();
  image->module = ModuleEntry{h.imageBase, h.sizeOfImage, std::move(fileName)};
  image->headers = h;
  image->bytes.assign(h.sizeOfImage, 0);
  std::vector<MemoryRegion> regions;

  const std::uint64_t headerBytes = std::min<std::uint64_t>({h.sizeOfHeaders, file.size(), h.sizeOfImage});
  std::copy_n(file.begin(), headerBytes, image->bytes.begin());
  const std::uint64_t headerSpan =
      std::min<std::uint64_t>(AlignUp(std::max<std::uint32_t>(h.sizeOfHeaders, 1), h.sectionAlignment), h.sizeOfImage);
  regions.push_back(MemoryRegion{h.imageBase, headerSpan, h.imageBase, true, false, false, false});

  for (const TSectionHeader& s : h.sections) {
    if (s.virtualAddress >= h.sizeOfImage) continue;
    const std::uint32_t extent = s.virtualSize != 0 ? s.virtualSize : s.sizeOfRawData;
    const std::uint64_t room = h.sizeOfImage - s.virtualAddress;
    const std::uint64_t span = std::min<std::uint64_t>(AlignUp(extent, h.sectionAlignment), room);
    std::uint64_t copy = std::min<std::uint64_t>({s.sizeOfRawData, extent, room});
    copy = s.pointerToRawData < file.size() ? std::min<std::uint64_t>(copy, file.size() - s.pointerToRawData) : 0;
    if (copy != 0)
      std::copy_n(file.begin() + s.pointerToRawData, copy, image->bytes.begin() + s.virtualAddress);

    MemoryRegion r;
    r.base = h.imageBase + s.virtualAddress;
    r.size = span;
    r.allocationBase = h.imageBase;
    r.executable = (s.characteristics & (kSectionExecute | kSectionCode)) != 0;
    r.readable = (s.characteristics & kSectionRead) != 0 || r.executable;
    r.writable = (s.characteristics & kSectionWrite) != 0;
    regions.push_back(r);
  }
  image->regions = Disjoint(std::move(regions));
  // The same headers, now at their addresses in the laid-out image.
  image->headers.module += h.imageBase;
  image->headers.address += h.imageBase;
  image->headers.dataDirectories += h.imageBase;
  images_.push_back(std::move(image));
  return true;
}

bool TImageMemory::AddImageFile(const std::string& path, std::string* error, std::optional<Address> base) {
  // The path is UTF-8; a filesystem path carries it to the wide file API
  // on Windows, where a plain narrow name would mean the ANSI code page.
  std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  if (!in) return Fail(error, "cannot open " + path);
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0 || length > std::streamoff{maxImageSize_} * 2) return Fail(error, path + ": file size out of range");
  in.seekg(0);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) return Fail(error, "cannot read " + path);
  std::string why;
  if (!AddImage(bytes, kelvane::Utf8ToUtf16(path), &why, base)) return Fail(error, path + ": " + why);
  return true;
}

const TImageMemory::TImage* TImageMemory::ImageAt(Address address) const {
  for (const auto& image : images_)
    if (image->module.Contains(address)) return image.get();
  return nullptr;
}

bool TImageMemory::Read(Address address, void* out, std::size_t size) const {
  const TImage* image = ImageAt(address);
  if (!image) return false;
  const Address offset = address - image->module.base;
  if (size > image->module.size - offset) return false;
  // Every byte of the range must lie in a readable region of the image.
  Address pos = address;
  const Address end = address + size;
  for (const MemoryRegion& r : image->regions) {
    if (pos >= end) break;
    if (pos < r.base) return false;
    if (pos - r.base >= r.size) continue;
    if (!r.readable) return false;
    pos = r.base + r.size;
  }
  if (pos < end) return false;
  if (size != 0) std::memcpy(out, image->bytes.data() + offset, size);
  return true;
}

std::optional<MemoryRegion> TImageMemory::RegionAt(Address address) const {
  const TImage* image = ImageAt(address);
  if (!image) return std::nullopt;
  for (const MemoryRegion& r : image->regions)
    if (address >= r.base && address - r.base < r.size) return r;
  return std::nullopt;
}

std::vector<ModuleEntry> TImageMemory::Modules() const {
  std::vector<ModuleEntry> out;
  out.reserve(images_.size());
  for (const auto& image : images_) out.push_back(image->module);
  return out;
}

const TNtHeaders* TImageMemory::HeadersAt(Address base) const {
  for (const auto& image : images_)
    if (image->module.base == base) return &image->headers;
  return nullptr;
}

}  // namespace ruvex
