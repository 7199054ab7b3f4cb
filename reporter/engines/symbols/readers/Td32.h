#pragma once
// External debug-symbol data (TD32), in an image's debug directory or in a
// ".tds" file: the signature "FB09" or "FB0A", the offset of the subsection
// directory, and subsections of names (0x130), module segments (0x120),
// source lines (0x127) and symbols (0x125 for "FB09", 0x129 for "FB0A").
//
// Layouts read (little-endian, packed):
//   directory header: size 16, entry size 16, entry count 32, next 32, flags 32
//   directory entry:  type 16, module 16, offset 32, size 32
//   names:            count 32, then per name: length 8, bytes, a zero
//   module:           overlay 16, library 16, segment count 16, style 16,
//                     name index 32, time 32, reserved 3x32, then per
//                     segment: segment 16, flags 16, offset 32, size 32
//   source module:    file count 16, segment count 16, file offsets 32 each,
//                     then start/end 32+32 and segment 16 per segment;
//                     a file: segment count 16, name index 32, line-block
//                     offsets 32 each; a block: segment 16, count 16,
//                     offsets 32 each, lines 16 each
//   symbols:          a 32-bit signature, then records: length 16 (of what
//                     follows), type 16, data. Procedures (0x204, 0x205):
//                     parent, end, next, size, debug start, debug end,
//                     offset (32 each), segment 16, type 32, near/far 8,
//                     reserved 8, name index 32. Data (0x201, 0x202) and
//                     publics (0x203): offset 32, segment 16, flags 16,
//                     type 32, name index 32.
// Segment 1 is the code; offsets are relative to the base of code.
#include <string>
#include <string_view>

#include "reporter/engines/symbols/mapfile/MapFile.h"

namespace ruvex {

bool ParseTd32(std::string_view data, TMapFile& map);

// The debug data of a ".tds" file: the last section of a PE image whose
// relative address equals the image's debug directory address, or the
// whole file.
std::string_view ExternalDebugData(std::string_view file);

}  // namespace ruvex
