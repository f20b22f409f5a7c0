#include "shared/Report.h"

#include <iostream>

namespace kvodev {

void TextOut::Notice(const std::string& line) const { std::cerr << line << '\n'; }

std::string Joined(const Json& items, std::string_view separator, std::string_view none) {
  std::string text;
  for (const Json& item : items) text.append(text.empty() ? "" : separator).append(Cell(item));
  return text.empty() ? std::string(none) : text;
}

void Complain(const std::string& line) { std::cerr << "kvodev: " << line << '\n'; }

}  // namespace kvodev
