#include "shared/DidYouMean.h"

#include <algorithm>
#include <numeric>

namespace kvodev {
namespace {

// Levenshtein distance; small enough by hand, and no library at hand offers it.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates, std::string_view prefix) {
  const std::string* best = nullptr;
  std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
  for (const std::string& candidate : candidates)
    if (const std::size_t distance = EditDistance(word, candidate); distance < bestDistance) {
      best = &candidate;
      bestDistance = distance;
    }
  return best == nullptr ? std::string() : "; did you mean \"" + std::string(prefix) + *best + "\"?";
}

}  // namespace kvodev
