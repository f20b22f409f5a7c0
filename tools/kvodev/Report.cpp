#include "Report.h"

#include <iostream>

namespace kvodev {

void TextOut::Notice(const std::string& line) const { std::cerr << line << '\n'; }

void Complain(const std::string& line) { std::cerr << "kvodev: " << line << '\n'; }

}  // namespace kvodev
