// The lines of an INI file as the library's reader sees them, for people who
// want to know what it makes of a file. The reader follows the rules of the
// Windows profile functions (docs/INI.md), which no INI library follows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvodev {

struct IniLine {
  int number;        // as an editor counts: CR LF, CR and LF each end one line
  std::string text;  // UTF-8, untrimmed
};

struct IniText {
  // Many zero bytes and no byte-order mark: UTF-16 that the library does not
  // recognise, so it finds nothing in the file.
  bool unmarkedUtf16 = false;
  std::vector<IniLine> lines;
};

// Decodes by the byte-order mark (UTF-8, UTF-16 LE or BE), else as UTF-8 when
// it is, else as Latin-1, and splits the text into lines.
IniText ReadIniText(std::string_view bytes);

// Without the white space of the profile rules (U+0009 to U+000D, U+001A, U+0020) at both ends.
std::string_view TrimIni(std::string_view text);

}  // namespace kvodev
