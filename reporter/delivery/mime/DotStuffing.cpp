#include "reporter/delivery/mime/DotStuffing.h"

namespace ruvex {

std::string TDotStuffer::Stuff(std::string_view chunk) {
  std::string out;
  out.reserve(chunk.size() + chunk.size() / 32 + 4);
  for (const char c : chunk) {
    if (pendingCr_) {
      pendingCr_ = false;
      out.append("\r\n");
      atLineStart_ = true;
      if (c == '\n') continue;
    }
    if (c == '\r') {
      pendingCr_ = true;
      continue;
    }
    if (c == '\n') {
      out.append("\r\n");
      atLineStart_ = true;
      continue;
    }
    if (atLineStart_ && c == '.') out.push_back('.');
    atLineStart_ = false;
    out.push_back(c);
  }
  return out;
}

std::string TDotStuffer::EndLine() {
  if (pendingCr_) {
    pendingCr_ = false;
    atLineStart_ = true;
    return "\r\n";
  }
  if (atLineStart_) return {};
  atLineStart_ = true;
  return "\r\n";
}

}  // namespace ruvex
