#pragma once
// Reading PE images (PE32 and PE32+) through a memory reader: headers, data
// directories and the section table. Every value comes from memory that may
// be hostile or unreadable, so each read is checked and every count capped.
// The same functions work on a file's raw bytes (a TBufferMemory at 0): the
// headers sit at the same offsets in the file and in the loaded image.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// Data directory indexes.
enum : unsigned {
  kDirExport = 0,
  kDirImport = 1,
  kDirResource = 2,
  kDirException = 3,
  kDirSecurity = 4,
  kDirBaseReloc = 5,
  kDirDebug = 6,
  kDirTls = 9,
  kDirImportAddressTable = 12,
};

// Section characteristics the layout and the region flags use.
enum : std::uint32_t {
  kSectionCode = 0x00000020,
  kSectionExecute = 0x20000000,
  kSectionRead = 0x40000000,
  kSectionWrite = 0x80000000,
};

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

// More sections than any linker writes; a larger count is a hostile image.
constexpr std::size_t kMaxSections = 1024;

struct TSectionHeader {
  std::string name;  // up to 8 bytes, without the padding zeros
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t sizeOfRawData = 0;
  std::uint32_t pointerToRawData = 0;
  std::uint32_t characteristics = 0;
};

struct TDataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

struct TNtHeaders {
  Address module = 0;   // where the image (or file) starts
  Address address = 0;  // of the "PE\0\0" signature
  bool pe32Plus = false;
  std::uint16_t machine = 0;
  std::uint16_t numberOfSections = 0;  // as stored; `sections` may hold fewer
  std::uint16_t characteristics = 0;
  std::uint16_t subsystem = 0;
  Address imageBase = 0;
  std::uint32_t addressOfEntryPoint = 0;
  std::uint32_t baseOfCode = 0;
  std::uint32_t sizeOfCode = 0;
  std::uint32_t sectionAlignment = 0;
  std::uint32_t fileAlignment = 0;
  std::uint32_t sizeOfImage = 0;
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t numberOfRvaAndSizes = 0;  // capped at 16
  Address dataDirectories = 0;            // address of entry 0
  std::vector<TSectionHeader> sections;
};

// The NT headers of the image at `module`, or none when it does not start
// with "MZ", when the signature at the offset stored at 0x3C is not
// "PE\0\0", when the optional header is neither PE32 nor PE32+, or when a
// read fails.
std::optional<TNtHeaders> ImageNtHeaders(const IMemoryReader& memory, Address module);

// The address of data directory entry `index`, or none when the image has
// no such entry.
std::optional<Address> ImageDataDirectory(const IMemoryReader& memory, Address module, unsigned index);
std::optional<Address> ImageDataDirectory(const TNtHeaders& headers, unsigned index);

// The entry itself; none when missing or unreadable. An entry with a zero
// address or size is returned as it is: callers decide what empty means.
std::optional<TDataDirectory> ReadDataDirectory(const IMemoryReader& memory, const TNtHeaders& headers,
                                                unsigned index);

std::uint32_t ImageSize(const TNtHeaders& headers);

// The file offset of a relative address: the section whose start is at or
// below it and whose successor starts above it (or the last section).
// Addresses below the first section lie in the headers and map to
// themselves. None when the result would fall outside the section's raw data.
std::optional<std::uint32_t> RvaToFileOffset(const TNtHeaders& headers, std::uint32_t rva);

// The section holding a relative address, by its virtual extent.
const TSectionHeader* SectionOfRva(const TNtHeaders& headers, std::uint32_t rva);

// A zero-terminated byte string of at most `maxLength` bytes; none when it
// is unreadable or not terminated within the limit.
std::optional<std::string> ReadCString(const IMemoryReader& memory, Address address, std::size_t maxLength = 4096);

}  // namespace ruvex
