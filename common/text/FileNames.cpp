#include "common/text/FileNames.h"

namespace kelvane {

std::u16string FileNameOf(std::u16string_view path) {
  const std::size_t cut = path.find_last_of(u"\\/");
  return std::u16string(cut == path.npos ? path : path.substr(cut + 1));
}

std::string FileNameOf(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\/");
  return std::string(cut == path.npos ? path : path.substr(cut + 1));
}

std::u16string FolderOf(std::u16string_view path) {
  const std::size_t cut = path.find_last_of(u"\\/");
  return cut == path.npos ? std::u16string() : std::u16string(path.substr(0, cut));
}

}  // namespace kelvane
