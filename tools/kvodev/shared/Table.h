// Text tables: a header row (unless --no-headers), then one row per record,
// columns padded to their widest cell (counted in code points).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "shared/Report.h"

namespace kvodev {

class Table {
 public:
  enum class Align { Left, Right };
  struct Column {
    std::string title;
    Align align = Align::Left;
  };

  explicit Table(std::vector<Column> columns, std::string gap = "  ");
  // A row with fewer cells than columns is padded with empty ones.
  void AddRow(std::vector<std::string> cells);
  bool Empty() const { return rows_.empty(); }
  // No trailing blanks on any line. With style.tabs, one tab between cells
  // and no padding, for cut(1) and awk(1).
  void Print(std::ostream& out, TextStyle style = {}) const;

 private:
  std::vector<Column> columns_;
  std::string gap_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace kvodev
