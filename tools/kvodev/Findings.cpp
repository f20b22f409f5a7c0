#include "Findings.h"

#include "Utf8.h"

namespace kvodev {

FileFindings FindingsIn(const std::string& file, const fs::path& path) {
  std::wstring wide;
  FileFindings found{file, path, {}};
  if (DecodeUtf8(path.string(), wide)) found.findings = dev::ReadDocumentContent(wide).findings;
  return found;
}

const char* KindName(dev::FindingKind kind) {
  using dev::FindingKind;
  switch (kind) {
    case FindingKind::NotValid: return "not-valid";
    case FindingKind::UnitWithoutId: return "unit-without-id";
    case FindingKind::MalformedUnitId: return "malformed-unit-id";
    case FindingKind::DuplicateUnitId: return "duplicate-unit-id";
    case FindingKind::UnitSideOnly: return "unit-side-only";
    case FindingKind::PortSideOnly: return "port-side-only";
    case FindingKind::LinkToMissingPort: return "link-to-missing-port";
    case FindingKind::LinkToMissingUnit: return "link-to-missing-unit";
    case FindingKind::DriverCaseTwin: return "driver-case-twin";
  }
  return "other";
}

void PrintFindings(const std::vector<FileFindings>& files, std::ostream& out) {
  for (const FileFindings& file : files) {
    if (file.findings.empty()) continue;
    out << "findings in " << file.path.string() << ":\n";
    for (const dev::Finding& finding : file.findings) {
      std::string text = EncodeUtf8(finding.text);
      for (char& c : text)
        if (c == '\n') c = ' ';  // a schema error's text may run over lines
      out << "  line " << finding.line << ": " << text << '\n';
    }
  }
}

void WriteFindings(const std::vector<FileFindings>& files, JsonWriter& json) {
  json.Key("findings").BeginArray();
  for (const FileFindings& file : files)
    for (const dev::Finding& finding : file.findings)
      json.BeginObject()
          .Member("file", file.file)
          .Member("path", file.path.string())
          .Member("line", finding.line)
          .Member("kind", KindName(finding.kind))
          .Member("text", finding.text)
          .EndObject();
  json.EndArray();
}

std::optional<BackupFile> FindBackup(const fs::path& path) {
  std::error_code code;
  const fs::file_time_type written = fs::last_write_time(path, code);
  if (code || !fs::is_regular_file(path, code)) return std::nullopt;
  return BackupFile{path, AgeOf(written)};
}

}  // namespace kvodev
