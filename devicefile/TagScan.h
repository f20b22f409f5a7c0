// Where the elements of a file that is no XML open and close, as far as a
// line scan can tell: for the findings of a document the parser refuses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dev {

struct UnclosedElement {
  std::wstring name;
  int line = 0;             // where it opens
  std::wstring closedBy;    // the end tag that closed its parent instead; empty: the file ended
  int closedByLine = 0;
};

// The elements of `bytes` that open and are not closed, in the order the scan
// finds them. Comments, processing instructions, CDATA sections and the
// document type are skipped.
std::vector<UnclosedElement> ScanUnclosedElements(std::string_view bytes);

}  // namespace dev
