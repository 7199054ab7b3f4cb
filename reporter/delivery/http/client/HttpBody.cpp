#include "reporter/delivery/http/client/HttpBody.h"

#include "reporter/delivery/mime/Base64.h"

namespace ruvex {
namespace {

constexpr std::size_t kPlainBlock = 2048;
constexpr std::size_t kBase64Block = 1536;

bool StreamFile(const TBodyPiece& piece, const TBodyWriter& write, const TBodyProgress& progress) {
  kelvane::IFileReader& file = *piece.file;
  if (!file.Rewind()) return false;
  const std::uint64_t size = file.Size();
  const std::size_t blockSize = piece.base64 ? kBase64Block : kPlainBlock;
  std::string block(blockSize, '\0');
  std::uint64_t done = 0;
  while (done < size) {
    const std::size_t wanted = size - done < blockSize ? static_cast<std::size_t>(size - done) : blockSize;
    const std::size_t got = file.Read(block.data(), wanted);
    if (got != wanted) return false;
    const std::string_view bytes(block.data(), got);
    if (!write(piece.base64 ? std::string_view(Base64(bytes)) : bytes)) return false;
    done += got;
    if (progress.position) progress.position(static_cast<int>(done * 1000 / size));
  }
  return true;
}

}  // namespace

std::uint64_t THttpBody::Length() const {
  std::uint64_t length = 0;
  for (const TBodyPiece& piece : pieces_) {
    if (!piece.file)
      length += piece.text.size();
    else
      length += piece.base64 ? Base64Length(piece.file->Size()) : piece.file->Size();
  }
  return length;
}

bool StreamBody(const THttpBody& body, const TBodyWriter& write, const TBodyProgress& progress) {
  for (const TBodyPiece& piece : body.Pieces()) {
    if (!piece.file) {
      if (!piece.text.empty() && !write(piece.text)) return false;
      continue;
    }
    if (!StreamFile(piece, write, progress)) return false;
    if (piece.endsFile && progress.fileDone) progress.fileDone();
  }
  return true;
}

}  // namespace ruvex
