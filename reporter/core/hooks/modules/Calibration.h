#pragma once
// Module calibration: a module may carry a resource of type "RUVEX" named
// "CALIBRATE", five 32-bit values, that corrects five fields of its image
// header in memory (base of code, base of data, size of code, of
// initialised and of uninitialised data), which later analysis reads.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "reporter/core/hooks/patches/MemoryPatcher.h"

namespace ruvex {

using TCalibrationValues = std::array<std::uint32_t, 5>;

// The resource's values when it is exactly 20 bytes long and its first
// value's top bit is clear for the library module (the one carrying this
// code) and set for any other; none otherwise.
std::optional<TCalibrationValues> ReadCalibration(const IMemoryReader& memory, Address module, bool libraryModule);

// Two addresses inside the library module. Its values 0 and 1 give how far
// the code anchor lies after the base of code and the data anchor after
// the base of data; the module may be loaded anywhere.
struct TCalibrationAnchors {
  Address code = 0;
  Address data = 0;
};

// Writes the fields: base of code (and, in 32-bit images, base of data)
// from values 0 and 1, for the library module relative to the anchors, for
// other modules with the top bit cleared; size of code, of initialised and
// of uninitialised data from values 2 to 4. The header is writable only for
// the write; the code cache is flushed. False when the module carries no
// valid resource or the header cannot be written.
bool CalibrateModule(IMemoryPatcher& memory, Address module, bool libraryModule, const TCalibrationAnchors& anchors);

// The executable, the library module when it is another one, and every
// loaded module whose file name ends in ".bpl" (case ignored); returns how
// many were calibrated.
int CalibrateModules(IMemoryPatcher& memory, const std::vector<ModuleEntry>& modules, Address executable,
                     Address library, const TCalibrationAnchors& anchors);

}  // namespace ruvex
