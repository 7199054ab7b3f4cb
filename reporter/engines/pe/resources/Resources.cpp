#include "reporter/engines/pe/resources/Resources.h"

#include <array>
#include <vector>

#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {
namespace {

constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kNameFlag = 0x80000000u;
constexpr std::size_t kMaxResourceName = 256;

struct TResourceTree {
  Address base = 0;  // the resource directory; entry offsets count from here
  std::uint32_t size = 0;
};

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool ReadEntryName(const IMemoryReader& memory, const TResourceTree& tree, std::uint32_t offset, std::u16string& out) {
  std::uint16_t length = 0;
  if (offset >= tree.size || !memory.ReadValue(tree.base + offset, length) || length > kMaxResourceName) return false;
  out.resize(length);
  return length == 0 || memory.Read(tree.base + offset + 2, out.data(), length * 2u);
}

bool Matches(const IMemoryReader& memory, const TResourceTree& tree, std::uint32_t nameField, const TResourceId& id) {
  switch (id.kind) {
    case TResourceId::Kind::Any:
      return true;
    case TResourceId::Kind::Number:
      return (nameField & kNameFlag) == 0 && nameField == id.number;
    case TResourceId::Kind::Text: {
      std::u16string name;
      if ((nameField & kNameFlag) == 0 || !ReadEntryName(memory, tree, nameField & ~kNameFlag, name)) return false;
      if (name.size() != id.text.size()) return false;
      for (std::size_t i = 0; i < name.size(); ++i)
        if (FoldAscii(name[i]) != FoldAscii(id.text[i])) return false;
      return true;
    }
  }
  return false;
}

// The entries of the directory at `offset`: name field, offset field.
std::optional<std::vector<std::uint32_t>> ReadEntries(const IMemoryReader& memory, const TResourceTree& tree,
                                                      std::uint32_t offset) {
  std::array<std::uint16_t, 8> header{};
  if (offset > tree.size || tree.size - offset < sizeof header) return std::nullopt;
  if (!memory.Read(tree.base + offset, header.data(), sizeof header)) return std::nullopt;
  const std::uint32_t count = std::uint32_t{header[6]} + header[7];
  const std::uint32_t entries = offset + sizeof header;
  if (std::uint64_t{entries} + std::uint64_t{count} * 8 > tree.size) return std::nullopt;
  std::vector<std::uint32_t> raw(std::size_t{count} * 2);
  if (count != 0 && !memory.Read(tree.base + entries, raw.data(), raw.size() * 4)) return std::nullopt;
  return raw;
}

// The offset field of the first entry that matches `id`, or none.
std::optional<std::uint32_t> FindEntry(const IMemoryReader& memory, const TResourceTree& tree, std::uint32_t offset,
                                       const TResourceId& id) {
  const auto raw = ReadEntries(memory, tree, offset);
  if (!raw) return std::nullopt;
  for (std::size_t i = 0; i + 1 < raw->size(); i += 2)
    if (Matches(memory, tree, (*raw)[i], id)) return (*raw)[i + 1];
  return std::nullopt;
}

// The offset field of the language entry chosen as the system would.
std::optional<std::uint32_t> FindLanguage(const IMemoryReader& memory, const TResourceTree& tree,
                                          std::uint32_t offset, std::uint16_t language) {
  const auto raw = ReadEntries(memory, tree, offset);
  if (!raw || raw->empty()) return std::nullopt;
  auto find = [&](auto accept) -> std::optional<std::uint32_t> {
    for (std::size_t i = 0; i + 1 < raw->size(); i += 2)
      if (((*raw)[i] & kNameFlag) == 0 && accept((*raw)[i] & 0xFFFF)) return (*raw)[i + 1];
    return std::nullopt;
  };
  if (language != 0)
    if (auto exact = find([&](std::uint32_t id) { return id == language; })) return exact;
  if (auto neutral = find([](std::uint32_t id) { return id == 0; })) return neutral;
  if (language != 0)
    if (auto primary = find([&](std::uint32_t id) { return (id & 0x3FF) == (language & 0x3FFu); })) return primary;
  return (*raw)[1];
}

}  // namespace

std::string ResourceBytes(const IMemoryReader& memory, Address module, const TResourceId& type,
                          const TResourceId& name, std::uint16_t language) {
  const auto headers = ImageNtHeaders(memory, module);
  if (!headers) return {};
  const auto dir = ReadDataDirectory(memory, *headers, kDirResource);
  if (!dir || dir->rva == 0 || dir->size == 0) return {};
  const TResourceTree tree{module + dir->rva, dir->size};

  // Type and name lead to subdirectories; the language entry leads to the
  // data entry (address relative to the image, size).
  std::uint32_t offset = 0;
  for (const TResourceId* id : {&type, &name}) {
    const auto entry = FindEntry(memory, tree, offset, *id);
    if (!entry || (*entry & kSubdirectoryFlag) == 0) return {};
    offset = *entry & ~kSubdirectoryFlag;
  }
  const auto entry = FindLanguage(memory, tree, offset, language);
  if (!entry || (*entry & kSubdirectoryFlag) != 0) return {};
  std::array<std::uint32_t, 2> data{};
  if (*entry > tree.size || tree.size - *entry < 16) return {};
  if (!memory.Read(tree.base + *entry, data.data(), sizeof data)) return {};
  if (data[1] > headers->sizeOfImage) return {};
  std::string bytes(data[1], '\0');
  if (!bytes.empty() && !memory.Read(module + data[0], bytes.data(), bytes.size())) return {};
  return bytes;
}

}  // namespace ruvex
