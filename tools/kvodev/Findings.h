// What is wrong in the files of a data directory, as check reports it: the
// findings of the library's reading of a document, and the backup's age.
#pragma once

#include <kvodevice/ConfigurationContent.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Json.h"
#include "Time.h"

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

// "findings in PATH:" and a line per finding; nothing for a file without any.
void PrintFindings(const std::vector<FileFindings>& files, std::ostream& out);
// The member "findings": one array of every file's findings.
void WriteFindings(const std::vector<FileFindings>& files, JsonWriter& json);

struct BackupFile {
  fs::path path;
  FileAge age;
};

// The backup when there is one.
std::optional<BackupFile> FindBackup(const fs::path& path);

}  // namespace kvodev
