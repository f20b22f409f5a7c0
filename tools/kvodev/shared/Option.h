// An option that some commands take. Each is declared once, as a constant in
// the file of the command that takes it (in shared/ when several command words
// take it); a Command lists the options it takes by address, and a run
// function asks for a value by the same constant (Context::Has, Value, Values).
#pragma once

#include <string_view>

namespace kvodev {

struct Option {
  enum Kind {
    Flag,  // given or not
    Text,  // one value; given twice is an error, and an empty value is given
    List,  // repeatable, one value each time ("--ini a --ini b", never "--ini a b")
  };
  std::string_view name;       // "--dry-run"
  Kind kind;
  std::string_view valueName;  // "TEXT", "FILE": how usage and help name the value; empty for a flag
  std::string_view help;       // its line in the command's help
};

}  // namespace kvodev
