#include "shared/Versions.h"

#include <algorithm>
#include <cstdlib>

#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Time.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

ChosenDocument FromHistory(const std::vector<dev::HistoryVersion>& versions, std::size_t number) {
  const dev::HistoryVersion& version = versions[number - 1];
  return {fs::path(EncodeUtf8(version.path)), version.path, number, VersionLabel(version, number)};
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A path to a file of the history is that version, whichever way it is written.
std::size_t NumberOf(const fs::path& path, const std::vector<dev::HistoryVersion>& versions) {
  for (std::size_t i = 0; i < versions.size(); ++i) {
    std::error_code code;
    if (fs::equivalent(path, fs::path(EncodeUtf8(versions[i].path)), code)) return i + 1;
  }
  return 0;
}

}  // namespace

std::string FileName(const dev::HistoryVersion& version) {
  return fs::path(EncodeUtf8(version.path)).filename().string();
}

std::string VersionLabel(const dev::HistoryVersion& version, std::size_t number) {
  return "version " + std::to_string(number) + " (" + ReadableStamp(version.time) + ", " + EncodeUtf8(version.reason) +
         ")";
}

ChosenDocument ChooseDocument(const std::string& operand, const std::vector<dev::HistoryVersion>& versions,
                              const std::string& dataDir) {
  if (AllDigits(operand)) {
    const std::size_t number = std::stoul(operand);
    if (number == 0 || number > versions.size())
      throw InputError("no version " + operand + " in the history: it holds " + std::to_string(versions.size()) +
                       " (kvodev history lists them; ./" + operand + " names a file)");
    return FromHistory(versions, number);
  }
  for (std::size_t i = 0; i < versions.size(); ++i)
    if (FileName(versions[i]) == operand) return FromHistory(versions, i + 1);
  std::wstring wide;
  if (!DecodeUtf8(operand, wide)) throw InputError("the file name is not UTF-8: \"" + operand + "\"");
  if (operand.size() > 8 && operand[8] == 'T' && operand.find('/') == std::string::npos) {
    const long index = dev::FindHistoryVersion(versions, wide);
    if (index == -2) throw InputError("more than one version's id starts with " + operand + " (kvodev history lists them)");
    if (index >= 0) return FromHistory(versions, static_cast<std::size_t>(index) + 1);
  }
  std::error_code code;
  fs::path path = operand;
  // The files a person repairing a configuration names most are those of the data directory.
  if (!fs::exists(path, code) && path.is_relative() && fs::exists(fs::path(dataDir) / path, code))
    path = fs::path(dataDir) / path;
  if (!fs::is_regular_file(path, code))
    throw InputError("no version and no file named \"" + operand + "\" (kvodev history lists the versions)");
  if (const std::size_t number = NumberOf(path, versions); number != 0) return FromHistory(versions, number);
  DecodeUtf8(path.string(), wide);
  return {path, wide, 0, path.string()};
}

ChosenDocument NewestVersion(const std::vector<dev::HistoryVersion>& versions, const std::string& dataDir) {
  if (versions.empty()) throw InputError(EmptyHistoryNote(ConfigFiles(dataDir).history));
  return FromHistory(versions, versions.size());
}

ChosenDocument CurrentDocument(const std::string& dataDir) {
  const fs::path path = ConfigFiles(dataDir).document;
  std::wstring wide;
  DecodeUtf8(path.string(), wide);  // the data directory was checked
  return {path, wide, 0, path.string()};
}

std::size_t NumberOf(const std::wstring& path, const std::vector<dev::HistoryVersion>& versions) {
  for (std::size_t i = 0; i < versions.size() && !path.empty(); ++i)
    if (versions[i].path == path) return i + 1;
  return 0;
}

std::string EmptyHistoryNote(const fs::path& folder) {
  return "the history " + folder.string() + " keeps no versions" +
         (dev::HistoryKeep() == 0 ? " (KVO_HISTORY=0 switches it off)" : "");
}

}  // namespace kvodev
