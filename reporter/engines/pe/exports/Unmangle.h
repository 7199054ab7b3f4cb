#pragma once
// Readable names for compiler-decorated symbol names such as
// "@Unit1@TForm1@Button1Click$qqrp14System@TObject" (unit "Unit1", name
// "TForm1.Button1Click"). Export tables and debug information carry them.
#include <string>

namespace ruvex {

// Sets `readable` and `unit` and returns true when `name` is decorated
// (begins with "@"); otherwise `readable` is the name unchanged, `unit`
// empty, and the result false.
bool UnmangleName(const std::string& name, std::string& readable, std::string& unit);
bool UnmangleName(const std::u16string& name, std::u16string& readable, std::u16string& unit);

}  // namespace ruvex
