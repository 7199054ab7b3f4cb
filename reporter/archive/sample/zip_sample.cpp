// Writes an archive from the command line, for the reader checks:
//   ruvex_zip_sample <archive> <file> [<entry name>] [<file> [<entry name>]]...
// An entry name of "-" takes the file name part of the path.
#include <cstdio>
#include <string>
#include <vector>

#include "common/text/Utf.h"
#include "reporter/archive/Zip.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s archive file [entry-name|-]...\n", argv[0]);
    return 2;
  }
  std::vector<std::u16string> files, names;
  for (int i = 2; i < argc; i += 2) {
    files.push_back(kelvane::Utf8ToUtf16(argv[i]));
    const std::string name = i + 1 < argc ? argv[i + 1] : "-";
    names.push_back(name == "-" ? std::u16string() : kelvane::Utf8ToUtf16(name));
  }
  const bool ok = ruvex::WriteZipArchive(kelvane::Utf8ToUtf16(argv[1]), files,
                                         static_cast<int>(files.size()) - 1, names);
  return ok ? 0 : 1;
}
