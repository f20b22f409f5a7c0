// What is wrong in the files of a data directory, as check reports it: the
// findings of the library's reading of a document, and the backup's age.
#pragma once

#include <kvodevice/ConfigurationContent.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "shared/Report.h"
#include "shared/Time.h"

namespace kvodev {

namespace fs = std::filesystem;

struct FileFindings {
  std::string file;  // "document" or "backup"
  fs::path path;
  std::vector<dev::Finding> findings;
};

// The findings in the file at `path`; none for a file that is missing, cannot
// be read or is not XML (the opening's report tells of those).
FileFindings FindingsIn(const std::string& file, const fs::path& path);

// "unit-side-only", ...: the kinds as JSON names them.
const char* KindName(dev::FindingKind kind);

// Every file's findings in one array: {"file", "path", "line", "kind", "text"}.
Json FindingsJson(const std::vector<FileFindings>& files);
// That array for people: "findings in PATH:" and a line per finding, for
// each file that has any.
void PrintFindings(const Json& findings, std::ostream& out);

struct BackupFile {
  fs::path path;
  FileAge age;
};

// The backup when there is one.
std::optional<BackupFile> FindBackup(const fs::path& path);

}  // namespace kvodev
