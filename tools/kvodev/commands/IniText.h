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

// Decodes as the library does (platform::profile::DecodeIniBytes) and splits
// the text into lines.
IniText ReadIniText(std::string_view bytes);

}  // namespace kvodev
