// A document difference as the result of diff (the two documents, then the
// changes), and that result for people: one line per item, marked as diff(1)
// marks lines: - only in A, + only in B, ~ changed.
#pragma once

#include <ostream>

#include "DocumentDiff.h"
#include "Report.h"
#include "Versions.h"

namespace kvodev {

Json DiffJson(const DocumentDiff& diff, const ChosenDocument& a, const ChosenDocument& b);

void PrintDiff(const Json& data, std::ostream& out);

}  // namespace kvodev
