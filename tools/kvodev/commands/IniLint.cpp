#include "commands/IniLint.h"

#include <kvodevice/IExtendedDeviceInfo.h>

#include <algorithm>
#include <array>

#include "commands/IniText.h"
#include "platform/profile/IniFile.h"
#include "platform/profile/IniText.h"
#include "platform/strings.h"
#include "shared/DidYouMean.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using platform::profile::TrimIniSpace;

constexpr std::array<std::string_view, 6> kWords = {"yes", "true", "on", "no", "false", "off"};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// The keys the library reads, as the documentation writes them, and those of them it reads as integers.
struct KnownKeys {
  std::vector<std::string> names, lower, integers;  // integers: lower case
  static const KnownKeys& Get() {
    static const KnownKeys keys = [] {
      KnownKeys known;
      for (const dev::dynInfo::IniKey& key : dev::dynInfo::IniKeys()) {
        known.names.push_back(EncodeUtf8(key.name));
        known.lower.push_back(Lower(known.names.back()));
        if (key.integer) known.integers.push_back(known.lower.back());
      }
      return known;
    }();
    return keys;
  }
};

bool OneOf(std::string_view word, auto& list) { return std::find(list.begin(), list.end(), Lower(word)) != list.end(); }

// Where a ';' or '#' after white space (or at the start) begins what a person meant as a comment.
std::size_t CommentStart(std::string_view value) {
  for (std::size_t i = 0; i < value.size(); ++i)
    if ((value[i] == ';' || value[i] == '#') && (i == 0 || TrimIniSpace(value.substr(i - 1, 1)).empty())) return i;
  return std::string_view::npos;
}

std::string Reading(const std::string& key, std::int32_t value) {
  if (key == "id") return "device " + std::to_string(static_cast<std::uint16_t>(value));
  return std::to_string(value) + (value == 0 ? " (off)" : value == 1 ? " (on)" : "");
}

}  // namespace

void IniLinter::Lint(const std::string& file, std::string_view bytes) {
  const std::size_t first = warnings_.size();
  file_ = file;
  section_.clear();
  reading_ = false;
  sections_.clear();
  keys_.clear();
  const IniText text = ReadIniText(bytes);
  if (text.unmarkedUtf16) {
    Warn(1, "looks like UTF-16 without a byte-order mark (many zero bytes): the library finds nothing in it");
    return;
  }
  for (const IniLine& line : text.lines) {
    const std::string_view trimmed = TrimIniSpace(line.text);
    const std::size_t close = trimmed.rfind(']');
    if (trimmed.starts_with('[') && close != std::string_view::npos)
      Header(line.number, TrimIniSpace(trimmed.substr(1, close - 1)));
    else if (trimmed.starts_with('['))
      Warn(line.number, std::string(trimmed) + " has no closing ']': it starts no section, and the lines after it " +
                            (reading_ ? "belong to [" + section_ + "]" : "are not read"));
    else if (reading_ && !trimmed.empty() && trimmed[0] != ';' && trimmed[0] != '#')
      KeyLine(line.number, trimmed);
  }
  EndSection();
  // A section's missing ID is known at its end: the file's warnings go in line order.
  std::stable_sort(warnings_.begin() + static_cast<std::ptrdiff_t>(first), warnings_.end(),
                   [](const LintWarning& a, const LintWarning& b) { return a.line < b.line; });
}

void IniLinter::EndSection() {
  if (reading_ && !keys_.contains("id"))
    Warn(sectionLine_, "[" + section_ + "] has no ID: the library reads nothing in it");
  // The service without INI files answers from the built-in list alone.
  bool listed = false;
  dev::dynInfo::IExtendedDeviceInfo* table = trigger_ && device_ ? dev::dynInfo::GetExtendedDeviceInfo() : nullptr;
  if (table != nullptr && table->GetRTCTrigger(static_cast<dev::id>(*device_), listed) && listed) {
    const std::string overruled = "device " + std::to_string(*device_) + " uses the trigger all the same: the built-in list names it";
    if (trigger_->warning < warnings_.size() && warnings_[trigger_->warning].line == trigger_->line)
      warnings_[trigger_->warning].text += "; " + overruled;
    else
      Warn(trigger_->line, trigger_->written + ": " + overruled);
  }
  device_.reset();
  trigger_.reset();
}

void IniLinter::Header(int line, std::string_view name) {
  EndSection();
  section_ = name;
  sectionLine_ = line;
  keys_.clear();
  const auto [first, isNew] = sections_.emplace(Lower(name), line);
  reading_ = isNew && !name.empty();
  if (!isNew)
    Warn(line, "section [" + section_ + "] appears again (first at line " + std::to_string(first->second) +
                   "): lookups read the first, so nothing in this one is read");
}

void IniLinter::KeyLine(int line, std::string_view text) {
  const std::size_t equals = text.find('=');
  const std::string key(TrimIniSpace(text.substr(0, equals)));
  const auto [first, isNew] = keys_.emplace(Lower(key), line);
  if (!isNew) {
    Warn(line, key + " appears again in [" + section_ + "] (first at line " + std::to_string(first->second) +
                   "): the first wins");
    return;
  }
  if (equals == std::string_view::npos) return;
  const KnownKeys& known = KnownKeys::Get();
  if (!OneOf(key, known.lower)) {
    std::string hint = DidYouMean(Lower(key), known.lower, "");
    for (std::size_t i = 0; i < known.lower.size(); ++i)  // the key as the documentation spells it
      if (hint == "; did you mean \"" + known.lower[i] + "\"?") hint = "; did you mean \"" + known.names[i] + "\"?";
    return Warn(line, key + " is no key the library reads, so it is ignored" + hint);
  }
  std::string_view value = TrimIniSpace(text.substr(equals + 1));
  if (const std::size_t comment = CommentStart(value); comment != std::string_view::npos) {
    Warn(line, key + "=" + std::string(value) + ": '" + value[comment] +
                   "' starts no comment after a value; it belongs to the value");
    value = TrimIniSpace(value.substr(0, comment));
  }
  if (OneOf(key, known.integers)) IntegerValue(line, key, value);
  if (Lower(key) == "position") PositionValue(line, key + "=" + std::string(value), platform::profile::StripQuotes(value));
}

// The library reads each comma-separated entry as platform::Wtoi does, and
// keeps those from 1 to INT32_MAX - 1000 (the code is 1000 more).
void IniLinter::PositionValue(int line, const std::string& written, std::string_view value) {
  for (std::size_t start = 0; start <= value.size();) {
    const std::size_t comma = std::min(value.find(',', start), value.size());
    const std::string entry(value.substr(start, comma - start));
    start = comma + 1;
    const std::int32_t position = platform::Wtoi(std::wstring(entry.begin(), entry.end()).c_str());
    std::size_t end = entry.find_first_not_of(" \t\n\v\f\r");
    if (end != std::string::npos && (entry[end] == '-' || entry[end] == '+')) ++end;
    end = end == std::string::npos ? entry.size() : entry.find_first_not_of("0123456789", end);
    const std::string rest = end == std::string::npos ? "" : entry.substr(end);
    if (TrimIniSpace(entry).empty()) continue;  // "1,,2" loses nothing
    if (position <= 0 || position > INT32_MAX - 1000)
      Warn(line, written + ": the entry \"" + entry + "\" reads as " + std::to_string(position) + ", no position: it is dropped");
    else if (!TrimIniSpace(rest).empty())
      Warn(line, written + ": the entry \"" + entry + "\" reads as " + std::to_string(position) + ", and \"" + rest +
                     "\" is ignored");
  }
}

void IniLinter::IntegerValue(int line, const std::string& key, std::string_view value) {
  const std::string lower = Lower(key), written = key + "=" + std::string(value);
  const platform::profile::ProfileIntReading read = platform::profile::ReadProfileInt(value);
  if (lower == "usertctrigger" && read.value != 1) trigger_ = Trigger{line, written, warnings_.size()};
  const std::string_view number = read.text;
  if (number.empty()) {
    if (lower == "id") Warn(line, written + ": an empty ID leaves the section out");
    return;
  }
  const std::string reads = "reads as " + Reading(lower, read.value);
  if (OneOf(TrimIniSpace(number), kWords)) return Warn(line, written + ": a word in an integer key " + reads + "; write 1 or 0");
  if (!read.digits) return Warn(line, written + ": not a number; it " + reads);
  if (const std::string_view rest = TrimIniSpace(read.rest); !rest.empty())
    return Warn(line, written + ": " + reads + ", and \"" + std::string(rest) + "\" is ignored");
  if (lower != "id") {
    if (read.value != 0 && read.value != 1)
      Warn(line, written + ": " + reads + ", neither 0 nor 1; " +
                     (lower == "usertctrigger" ? "only 1 switches the trigger on" : "the setting is ignored"));
    return;
  }
  const auto device = static_cast<std::uint16_t>(read.value);
  if (device == 65535) return Warn(line, written + ": reads as 65535, no device; the section is left out");
  if (!read.exact || read.value > 65535) Warn(line, written + ": above 65535 or negative; it " + reads + " (modulo 65536)");
  DeviceId(line, device);
}

void IniLinter::DeviceId(int line, std::uint16_t device) {
  device_ = device;
  const auto [first, isNew] = devices_.emplace(device, Place{file_, section_, line});
  // A later file that adds to a device is how a setup grows: only within one file is it a slip.
  if (!isNew)
    Warn(line, "device " + std::to_string(device) + " is described already by [" + first->second.section + "] at " +
                   first->second.file + ":" + std::to_string(first->second.line) + "; the descriptions merge",
         first->second.file != file_);
}

}  // namespace kvodev
