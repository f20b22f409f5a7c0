// The documents a person names on the command line: a version kept in
// kvoDevice.history (by its number in the list or its file name), any other
// document file, or the current document.
#pragma once

#include <kvodevice/ConfigurationFile.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kvodev {

namespace fs = std::filesystem;

struct ChosenDocument {
  fs::path path;
  std::wstring widePath;   // for the library
  std::size_t number = 0;  // 1-based in the history list; 0 for any other file
  std::string label;       // how the output names it
};

// "20261206T130233.123456789Z-save.xml"
std::string FileName(const dev::HistoryVersion& version);

// "version 3 (2026-12-06 13:02:33 UTC, save)"
std::string VersionLabel(const dev::HistoryVersion& version, std::size_t number);

// A number from 1 to the list's size (numbers shift as versions come and go),
// a version's id or a prefix of it that only it has (through the 'T' at least:
// "20261206T1302"), a file name of the list, the path of an
// existing file (a version when it is one), or the name of a file in the data
// directory such as kvoDevice.xml.bak. Throws InputError otherwise.
ChosenDocument ChooseDocument(const std::string& operand, const std::vector<dev::HistoryVersion>& versions,
                              const std::string& dataDir);

// The newest version; throws InputError when the history is empty.
ChosenDocument NewestVersion(const std::vector<dev::HistoryVersion>& versions, const std::string& dataDir);

ChosenDocument CurrentDocument(const std::string& dataDir);

// The number of the version at `path` (as a save report names it) in
// `versions`; 0 when it is not there or `path` is empty.
std::size_t NumberOf(const std::wstring& path, const std::vector<dev::HistoryVersion>& versions);

// "the history FOLDER keeps no versions", with why when the environment
// switched it off.
std::string EmptyHistoryNote(const fs::path& folder);

}  // namespace kvodev
