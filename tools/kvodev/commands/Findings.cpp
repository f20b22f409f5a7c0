#include "commands/Findings.h"

#include "shared/Utf8.h"

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
    case FindingKind::NoSuchActiveSet: return "no-such-active-set";
    case FindingKind::SharedPort: return "shared-port";
    case FindingKind::NotWellFormed: return "not-well-formed";
    case FindingKind::UnclosedElement: return "unclosed-element";
  }
  return "other";
}

Json FindingsJson(const std::vector<FileFindings>& files) {
  Json findings = Json::array();
  for (const FileFindings& file : files)
    for (const dev::Finding& finding : file.findings)
      findings.push_back({{"file", file.file},
                          {"path", file.path.string()},
                          {"line", finding.line},
                          {"kind", KindName(finding.kind)},
                          {"text", EncodeUtf8(finding.text)}});
  return findings;
}

void PrintFindings(const Json& findings, std::ostream& out) {
  const Json* file = nullptr;  // "document", "backup"
  for (const Json& finding : findings) {
    if (file == nullptr || *file != finding["file"]) {
      file = &finding["file"];
      out << "findings in " << finding["path"].get<std::string>() << ":\n";
    }
    std::string text = finding["text"].get<std::string>();
    for (char& c : text)
      if (c == '\n') c = ' ';  // a schema error's text may run over lines
    out << "  line " << finding["line"].get<long>() << ": " << text << '\n';
  }
}

std::optional<BackupFile> FindBackup(const fs::path& path) {
  std::error_code code;
  const fs::file_time_type written = fs::last_write_time(path, code);
  if (code || !fs::is_regular_file(path, code)) return std::nullopt;
  return BackupFile{path, AgeOf(written)};
}

}  // namespace kvodev
