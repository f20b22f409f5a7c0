// restore: a version of the document, or any document file, put back as the document.
#include <kvodevice/ConfigurationContent.h>

#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Utf8.h"
#include "shared/Versions.h"

namespace kvodev {
namespace {

constexpr Option kYes{"--yes", Option::Flag, "", "restore even a file that more users could read as the document"};

void PrintRestored(const Json& data, const TextOut& out) {
  if (!data["restored"].get<bool>()) return;
  const std::size_t units = data["units"].get<std::size_t>();
  out.out << "restored " << data["fromLabel"].get<std::string>() << " as " << data["document"].get<std::string>()
          << ": " << units << (units == 1 ? " unit\n" : " units\n");
  if (data["keptLabel"].is_null())
    out.out << "the document it replaced was not kept (there was none, or the history is off)\n";
  else
    out.out << "the document it replaced is kept as " << data["keptLabel"].get<std::string>() << '\n';
}

Report RunRestore(Context& ctx) {
  const ChosenDocument chosen = ChooseDocument(ctx.operands[0], dev::ListHistory(), ctx.dataDir);
  const ChosenDocument document = CurrentDocument(ctx.dataDir);
  dev::SaveReport saved;
  const std::wstring exposure = chosen.number == 0 ? dev::RestoreExposure(chosen.widePath) : std::wstring();
  if (!exposure.empty() && !ctx.Has(kYes)) {
    saved.reason = exposure + L"; restore it with --yes";
  }
  const bool restored = saved.reason.empty() && dev::RestoreXMLFile(chosen.widePath, &saved);
  const std::vector<dev::HistoryVersion> after = dev::ListHistory();
  const std::size_t kept = restored ? NumberOf(saved.kept, after) : 0;
  std::string reason = EncodeUtf8(saved.reason);
  reason.erase(reason.find_last_not_of(" \n") + 1);  // one line, also on standard error
  Report report(Json{{"restored", restored},
                     {"from", chosen.path.string()},
                     {"version", chosen.number != 0 ? Json(chosen.number) : Json(nullptr)},
                     {"fromLabel", chosen.label},
                     {"document", document.path.string()}});
  report.data["units"] = restored ? Json(dev::ReadDocumentContent(document.widePath).units.size()) : Json(nullptr);
  report.data["kept"] = kept != 0 ? Json(EncodeUtf8(after[kept - 1].path)) : Json(nullptr);
  report.data["keptLabel"] = kept != 0 ? Json(VersionLabel(after[kept - 1], kept)) : Json(nullptr);
  report.data["reason"] = restored ? Json(nullptr) : Json(reason);
  report.text = PrintRestored;
  if (!restored) {
    report.status = False;
    report.error = "not restored: " + reason;
  }
  return report;
}

const Command kRestore{"restore", {"VERSION"}, {&kYes}, true, RunRestore,
    "put a version of the document back",
    "Puts VERSION back as kvoDevice.xml: a number, an id (or a prefix of it that\n"
    "no other version's id has) or a file name from 'kvodev history', the path\n"
    "of any document file (./3 for a file named 3), or a file of the data\n"
    "directory (kvoDevice.xml.bak). It must be readable and valid.\n"
    "The library writes it under the writers' lock and first keeps the document\n"
    "it replaces in the history (why: restore), so a restore is undone by another.\n"
    "Hosts holding the configuration merge their unsaved changes into it when\n"
    "they save.\n"
    "A file from outside the history that fewer users may read than the document\n"
    "is restored only with --yes: its content would become readable to them.\n"
    "Exit status 1, with nothing changed, when the library refuses the version\n"
    "or --yes is needed; the reason is shown.\n\n"
    "example:\n  kvodev --data-dir /srv/kvoRQ restore 3\n"};

}  // namespace

std::vector<Command> RestoreCommands() { return {kRestore}; }

}  // namespace kvodev
