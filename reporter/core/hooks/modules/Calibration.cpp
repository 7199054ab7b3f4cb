#include "reporter/core/hooks/modules/Calibration.h"

#include <cstring>

#include "common/text/Windows1252.h"
#include "reporter/engines/pe/headers/PeImage.h"
#include "reporter/engines/pe/resources/Resources.h"

namespace ruvex {
namespace {

constexpr std::uint32_t kTopBit = 0x80000000u;
constexpr std::size_t kCalibrationSize = 20;

// Offsets in the optional header.
constexpr Address kSizeOfCode = 4, kSizeOfInitializedData = 8, kSizeOfUninitializedData = 12, kBaseOfCode = 20,
                  kBaseOfData = 24;

bool IsPackage(const ModuleEntry& m) {
  const std::u16string& name = m.fileName;
  return name.size() >= 4 && kelvane::EqualsIgnoreCase(std::u16string_view(name).substr(name.size() - 4), u".bpl");
}

}  // namespace

std::optional<TCalibrationValues> ReadCalibration(const IMemoryReader& memory, Address module, bool libraryModule) {
  const std::string bytes =
      ResourceBytes(memory, module, TResourceId::Of(u"RUVEX"), TResourceId::Of(u"CALIBRATE"));
  if (bytes.size() != kCalibrationSize) return std::nullopt;
  TCalibrationValues values{};
  std::memcpy(values.data(), bytes.data(), kCalibrationSize);
  if (((values[0] & kTopBit) != 0) == libraryModule) return std::nullopt;
  return values;
}

bool CalibrateModule(IMemoryPatcher& memory, Address module, bool libraryModule, const TCalibrationAnchors& anchors) {
  const auto values = ReadCalibration(memory, module, libraryModule);
  const auto headers = ImageNtHeaders(memory, module);
  if (!values || !headers) return false;
  std::uint32_t baseOfCode, baseOfData;
  if (libraryModule) {
    baseOfCode = static_cast<std::uint32_t>(anchors.code - module) - (*values)[0];
    baseOfData = static_cast<std::uint32_t>(anchors.data - module) - (*values)[1];
  } else {
    baseOfCode = (*values)[0] & ~kTopBit;
    baseOfData = (*values)[1] & ~kTopBit;
  }
  const Address optional = headers->address + 24;
  // Base of data exists in 32-bit images only; in 64-bit ones those bytes
  // belong to the image base.
  const std::size_t span = headers->pe32Plus ? kBaseOfCode + 4 : kBaseOfData + 4;
  std::vector<std::uint8_t> header(span);
  if (!memory.Read(optional, header.data(), span)) return false;
  auto put = [&](Address at, std::uint32_t v) { std::memcpy(header.data() + at, &v, 4); };
  put(kSizeOfCode, (*values)[2]);
  put(kSizeOfInitializedData, (*values)[3]);
  put(kSizeOfUninitializedData, (*values)[4]);
  put(kBaseOfCode, baseOfCode);
  if (!headers->pe32Plus) put(kBaseOfData, baseOfData);
  const auto old = memory.MakeWritable(optional, span);
  if (!old) return false;
  const bool written = memory.Write(optional, header.data(), span);
  memory.RestoreProtection(optional, span, *old);
  memory.FlushCode(module, span);
  return written;
}

int CalibrateModules(IMemoryPatcher& memory, const std::vector<ModuleEntry>& modules, Address executable,
                     Address library, const TCalibrationAnchors& anchors) {
  int calibrated = CalibrateModule(memory, executable, executable == library, anchors) ? 1 : 0;
  if (library != executable && CalibrateModule(memory, library, true, anchors)) ++calibrated;
  for (const ModuleEntry& m : modules)
    if (m.base != executable && m.base != library && IsPackage(m) && CalibrateModule(memory, m.base, false, anchors))
      ++calibrated;
  return calibrated;
}

}  // namespace ruvex
