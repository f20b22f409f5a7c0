// A document difference as the result of diff (the two documents, then the
// changes), and that result for people: one line per item, marked as diff(1)
// marks lines: - only in A, + only in B, ~ changed.
#pragma once

#include <ostream>

#include <kvodevice/ConfigurationContent.h>

#include "shared/Report.h"
#include "shared/Versions.h"

namespace kvodev {

Json DiffJson(const dev::DocumentChanges& diff, const ChosenDocument& a, const ChosenDocument& b);

void PrintDiff(const Json& data, std::ostream& out);

// The changes alone, as the members "units", "ports", "drivers" and "sets"
// of `json`, and those members as text (what a watch prints).
void AddChangesJson(const dev::DocumentChanges& diff, Json& json);
void PrintChanges(const Json& data, std::ostream& out);

}  // namespace kvodev
