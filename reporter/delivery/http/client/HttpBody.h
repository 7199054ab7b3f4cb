#pragma once
// A request body as a sequence of pieces, text and streamed files, so that
// its length is known before the first byte goes out and no file is held
// whole in memory.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/files/FileSystem.h"

namespace ruvex {

struct TBodyPiece {
  std::string text;                    // sent as it is, when file is null
  kelvane::IFileReader* file = nullptr;   // not owned; streamed from its start
  bool base64 = false;                 // the file goes out base64-encoded
  bool endsFile = false;               // a progress area ends after this piece
};

class THttpBody {
 public:
  void AddText(std::string text) { pieces_.push_back({std::move(text), nullptr, false, false}); }
  void AddFile(kelvane::IFileReader* file, bool base64) { pieces_.push_back({{}, file, base64, true}); }
  const std::vector<TBodyPiece>& Pieces() const { return pieces_; }
  bool Empty() const { return pieces_.empty(); }
  // The exact number of bytes StreamBody writes.
  std::uint64_t Length() const;

 private:
  std::vector<TBodyPiece> pieces_;
};

// The size of a file once base64-encoded, padding included.
inline std::uint64_t Base64Length(std::uint64_t size) { return (size + 2) / 3 * 4; }

using TBodyWriter = std::function<bool(std::string_view bytes)>;

// What the sender reports while the body goes out: the per-mille position
// within the current file, and the end of each file.
struct TBodyProgress {
  std::function<void(int perMille)> position;
  std::function<void()> fileDone;
};

// Writes every piece in order: files in blocks of 2,048 bytes, or 1,536
// when base64 (each block then encodes to 2,048 characters without
// padding). False on a failed write, a read error or a file shorter than
// its size: the declared length could not be kept.
bool StreamBody(const THttpBody& body, const TBodyWriter& write, const TBodyProgress& progress);

}  // namespace ruvex
