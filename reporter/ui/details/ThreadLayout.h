#pragma once
// Call stacks as list columns: each thread block finds its own columns and
// their roles (address, relative address, module, unit, line, relative
// line, function), and all blocks share one set of captions.
#include <string>
#include <vector>

#include "reporter/ui/details/DetailsModel.h"

namespace ruvex {

struct TPiece {
  std::vector<std::u16string> lines;  // the block's rows, header rows included
  std::vector<std::size_t> cols;      // column boundaries (positions within a line)
  int moduleCol = -1, relAddrCol = -1, unitCol = -1, lineCol = -1, relLineCol = -1, funcCol = -1;
};

// Cut into blocks, each with its boundaries and column roles.
std::vector<TPiece> ThreadPieces(std::u16string_view text);

TListModel ThreadLayout(std::u16string_view text);

}  // namespace ruvex
