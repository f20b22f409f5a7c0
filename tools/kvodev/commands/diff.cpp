// diff: what changed between two versions of the document.
#include <kvodevice/ConfigurationContent.h>

#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/DiffOutput.h"
#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

// What a document says; a file that cannot be read or is not XML says
// nothing to compare, which is trouble (as for diff(1)), like bad input.
dev::DocumentContent ReadForComparison(const ChosenDocument& document) {
  dev::DocumentContent content = dev::ReadDocumentContent(document.widePath);
  const std::string reason = EncodeUtf8(content.errorReason);
  if (!content.read) throw InputError(document.label + " cannot be read: " + reason);
  if (!content.wellFormed)
    throw InputError(document.label +
                     " cannot be compared: parse error: " + ExplainedCode(content.errorCode, content.errorKind) +
                     " in line " + std::to_string(content.errorLine) + ": " + reason);
  // Said at once, under --json as well: the result has no member for it.
  if (!content.valid)
    Complain("note: " + document.label + " is not valid: " + EncodeUtf8(content.errorKind) + ": " + reason);
  return content;
}

void PrintDifferences(const Json& data, const TextOut& out) {
  if (data["different"].get<bool>())
    PrintDiff(data, out.out);
  else  // not on standard output, which stays a diff (an empty one)
    out.Notice("kvodev: no differences between " + data["a"]["label"].get<std::string>() + " and " +
               data["b"]["label"].get<std::string>());
}

Report RunDiff(Context& ctx) {
  const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
  const ChosenDocument a = ctx.operands.empty() ? NewestVersion(versions, ctx.dataDir)
                                                : ChooseDocument(ctx.operands[0], versions, ctx.dataDir);
  const ChosenDocument b =
      ctx.operands.size() > 1 ? ChooseDocument(ctx.operands[1], versions, ctx.dataDir) : CurrentDocument(ctx.dataDir);
  const dev::DocumentContent contentA = ReadForComparison(a), contentB = ReadForComparison(b);
  const dev::DocumentChanges diff = dev::CompareContent(contentA, contentB);
  Report report(DiffJson(diff, a, b));
  report.text = PrintDifferences;
  report.status = diff.empty() ? Success : Different;
  return report;
}

const Command kDiff{"diff", {"[A]", "[B]"}, {}, true, RunDiff,
    "what changed between two versions of the document",
    "Compares what two documents say, not their text: units added, removed or\n"
    "changed (setup, driver, model, name, serial number, port links), ports and\n"
    "their linked units, driver files, sets (comment, members), the active set.\n"
    "A and B are each a number or a file name from 'kvodev history', the path of\n"
    "any document file (./3 for a file named 3), or a file of the data directory\n"
    "(kvoDevice.xml.bak). Without B, A is compared with the current document;\n"
    "without either, the newest version is. Lines start with - (only in A),\n"
    "+ (only in B) or ~ (changed), and give the line in A, in B, or both (A -> B).\n\n"
    "Exit status, as diff(1): 0 no differences (a note on standard error), 1\n"
    "differences, 2 trouble: no such version, no history, or a file that cannot\n"
    "be read or is not XML.\n\n"
    "example:\n  kvodev --data-dir /srv/kvoRQ diff 3\n"};

}  // namespace

std::vector<Command> DiffCommands() { return {kDiff}; }

}  // namespace kvodev
