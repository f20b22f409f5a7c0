// ini --lint: what in INI files the library reads differently from what a
// person meant (docs/INI.md): words and stray text in integer values, numbers
// out of range, comments after values, sections and keys that are shadowed,
// keys the library does not read, devices described twice, sections without
// an ID, headers without their ']', Position entries dropped or cut short,
// UTF-16 without a byte-order mark, a useRTCTrigger that the built-in list
// of trigger devices overrules.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvodev {

struct LintWarning {
  std::string file;
  int line;
  std::string text;
  bool note = false;  // what is likely meant, such as a device a later file adds to
};

// Lints files in the order the library would load them: a device described
// in an earlier file is a duplicate in a later one.
class IniLinter {
 public:
  void Lint(const std::string& file, std::string_view bytes);
  const std::vector<LintWarning>& warnings() const { return warnings_; }

 private:
  struct Place {
    std::string file, section;
    int line;
  };
  void Warn(int line, std::string text, bool note = false) { warnings_.push_back({file_, line, std::move(text), note}); }
  void Header(int line, std::string_view name);
  void EndSection();
  void KeyLine(int line, std::string_view text);
  void IntegerValue(int line, const std::string& key, std::string_view value);
  void PositionValue(int line, const std::string& written, std::string_view value);
  void DeviceId(int line, std::uint16_t device);

  std::vector<LintWarning> warnings_;
  std::map<std::uint16_t, Place> devices_;  // every file's, by device
  // Per file: the current section (read by the library unless shadowed).
  std::string file_, section_;
  int sectionLine_ = 0;
  bool reading_ = false;
  std::map<std::string, int> sections_, keys_;  // lower-case names, first line
  // The section's device, and its useRTCTrigger when that is not 1: the
  // built-in list of trigger devices may decide instead.
  std::optional<std::uint16_t> device_;
  struct Trigger {
    int line = 0;
    std::string written;
    std::size_t warning = 0;  // the index of the warning of its line, or the count of warnings: none
  };
  std::optional<Trigger> trigger_;
};

}  // namespace kvodev
