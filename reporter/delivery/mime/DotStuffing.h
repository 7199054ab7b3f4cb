#pragma once
// The transparency rule of SMTP's DATA phase: a line that starts with "."
// gets a second one, so that no line of the message can read as the end of
// the data, and every line break goes out as CR LF (a bare CR or LF is not
// a line end to every server, but may be to some).
#include <string>
#include <string_view>

namespace ruvex {

class TDotStuffer {
 public:
  // The chunk as it goes on the wire; chunks may split lines anywhere.
  std::string Stuff(std::string_view chunk);
  // True at the start of a line: the end-of-data line may follow directly.
  bool AtLineStart() const { return atLineStart_ && !pendingCr_; }
  // Ends an unterminated last line, so that the end-of-data line stands alone.
  std::string EndLine();

 private:
  bool atLineStart_ = true;
  bool pendingCr_ = false;  // a CR seen; a following LF belongs to it
};

}  // namespace ruvex
