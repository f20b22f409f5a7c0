// What a command ends with: its result, collected before anything is printed,
// then rendered once, as JSON (--json) or as text for people.
#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>
#include <string_view>

#include "shared/Errors.h"

namespace kvodev {

// Members keep the order in which a command sets them.
using Json = nlohmann::ordered_json;

// How tables are printed: --no-headers, --tabs.
struct TextStyle {
  bool headers = true;
  bool tabs = false;  // one tab between cells, no padding
};

// Where a text renderer writes: the result to `out`; notices that are not the
// result ("no units") to standard error, so that $(kvodev drivers) holds names only.
struct TextOut {
  std::ostream& out;
  TextStyle style;
  void Notice(const std::string& line) const;
};

struct Report {
  Report() = default;
  explicit Report(Json result) : data(std::move(result)) {}

  int status = Success;
  // The result; --json prints it as one object on one line.
  Json data = Json::object();
  // Why the status is not Success, when there is more to say than the data
  // does: a line on standard error, or the member "error" under --json.
  std::string error;
  // Renders `data` for people; none: the command prints nothing on success.
  void (*text)(const Json& data, const TextOut& out) = nullptr;

  // A result that is only its failure.
  static Report Failure(int status, std::string error) {
    Report report;
    report.status = status;
    report.error = std::move(error);
    return report;
  }
};

// A string member of a result.
inline std::string Text(const Json& value) { return value.get<std::string>(); }
// A string or a number of a result, as text.
inline std::string Cell(const Json& item) { return item.is_string() ? item.get<std::string>() : item.dump(); }
// The items of an array as Cell gives them, joined by `separator`; `none` when that is empty.
std::string Joined(const Json& items, std::string_view separator, std::string_view none = "");

// One line on standard error, after the program's name.
void Complain(const std::string& line);

}  // namespace kvodev
