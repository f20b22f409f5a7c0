// The nearest of some names to a word that is none of them, for messages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvodev {

// "; did you mean "<prefix><candidate>"?" for the nearest candidate within a
// typo or two (a third of the word's length for long words); empty when none is.
std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates, std::string_view prefix);

}  // namespace kvodev
