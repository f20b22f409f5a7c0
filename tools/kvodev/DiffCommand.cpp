// diff: what changed between two versions of the document.
#include <kvodevice/ConfigurationContent.h>

#include "Commands.h"
#include "Configuration.h"
#include "DiffOutput.h"
#include "Errors.h"
#include "Utf8.h"

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

}  // namespace

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

}  // namespace kvodev
