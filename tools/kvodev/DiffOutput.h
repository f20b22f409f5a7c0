// A document difference for people (one line per item, as diff(1) marks
// them: - only in A, + only in B, ~ changed) and as JSON.
#pragma once

#include <ostream>

#include "DocumentDiff.h"
#include "Json.h"
#include "Versions.h"

namespace kvodev {

void PrintDiff(const DocumentDiff& diff, const ChosenDocument& a, const ChosenDocument& b, std::ostream& out);

// The members of the answer object: the two documents, then the changes.
void WriteDiff(const DocumentDiff& diff, const ChosenDocument& a, const ChosenDocument& b, JsonWriter& json);

}  // namespace kvodev
