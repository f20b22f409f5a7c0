#include "shared/Table.h"

#include <algorithm>

#include "shared/Utf8.h"

namespace kvodev {

Table::Table(std::vector<Column> columns, std::string gap) : columns_(std::move(columns)), gap_(std::move(gap)) {}

void Table::AddRow(std::vector<std::string> cells) {
  cells.resize(columns_.size());
  rows_.push_back(std::move(cells));
}

void Table::Print(std::ostream& out, TextStyle style) const {
  std::vector<std::size_t> widths;
  for (const Column& column : columns_) widths.push_back(CodePoints(column.title));
  for (const auto& row : rows_)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], CodePoints(row[i]));

  const auto printRow = [&](const std::vector<std::string>& cells) {
    std::string line;
    if (style.tabs) {
      for (std::size_t i = 0; i < cells.size(); ++i) line.append(i > 0 ? "\t" : "").append(cells[i]);
      out << line << '\n';
      return;
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::string padding(widths[i] - CodePoints(cells[i]), ' ');
      if (i > 0) line += gap_;
      line += columns_[i].align == Align::Right ? padding + cells[i] : cells[i] + padding;
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  };
  std::vector<std::string> titles;
  for (const Column& column : columns_) titles.push_back(column.title);
  if (style.headers) printRow(titles);
  for (const auto& row : rows_) printRow(row);
}

}  // namespace kvodev
