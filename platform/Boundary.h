// The edge between the library and its host: no exception crosses it.
#pragma once

#include <utility>

namespace platform {

// Runs `body` at an entry point of the library and answers what it answers,
// or `fallback` when it throws. Running out of memory is std::bad_alloc
// everywhere inside (libxml2's failures included), and code that turns a
// failure into an answer lets it through to here, so that the entry point
// can undo what was half done before it answers.
template <typename Result, typename Body>
Result NoThrow(Result fallback, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;
  }
}

}  // namespace platform
