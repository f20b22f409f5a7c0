// Seeing other writers' changes, and throwing this object's away.
#include "devicefile/DocumentLinks.h"
#include "devicefile/XMLFile.h"

namespace dev {

bool CXMLFile::LocateDocument(HeldDocument& held) const {
  return platform::ResolveTarget(DocumentPath().str(), true, held.target, held.error, true);  // it stats the file too
}

bool CXMLFile::IsStale() {
  if (!isDOMReady()) return false;
  HeldDocument held;
  // A file that cannot be examined is not known to be the one this object holds.
  return !LocateDocument(held) || !IsKnownFile(held);
}

bool CXMLFile::Refresh(DocumentChanges* changes) {
  return Answered({Call::Op::Refresh}, [&] { return Reported([&] { return Reload(true, changes); }); });
}

bool CXMLFile::DiscardChanges() {
  return Answered({Call::Op::DiscardChanges}, [&] { return Reported([&] { return Reload(false, nullptr); }); });
}

bool CXMLFile::Reload(bool keepChanges, DocumentChanges* changes) {
  saveReport_ = {};
  if (changes != nullptr) *changes = {};
  if (!isDOMReady()) return SaveFailed({}, L"no document is loaded");
  HeldDocument held;
  // A reader takes no lock: a replace is atomic, and it writes nothing.
  if (access_ == Access::ReadOnly ? !LocateDocument(held) : !HoldDocument(held))
    return SaveFailed(held.error, L"the configuration cannot be locked");
  if (IsKnownFile(held) && !torn_ && (keepChanges || !HasChanges())) return true;

  // Validated against the schema this library writes, from memory: a
  // refresh writes nothing, not even the schema.
  platform::xml::Document current = platform::xml::Document::Create();
  const CString schema = SchemaPath();
  current.SetSchemaText(schema.Mid(schema.ReverseFind(L'/') + 1).str(), SchemaText());
  platform::FileContent content;
  platform::FileError error;
  switch (LoadDocumentFile(current, content, error, false, &held.target)) {
    case FileLoad::Loaded:
      break;
    case FileLoad::Missing:
      return SaveFailed(error, L"there is no document to load");
    case FileLoad::Damaged:
      return SaveFailed({}, L"the document is damaged and was left as it is:" + ParseErrorMessage(current).str());
    default:
      return SaveFailed(error, L"the document cannot be read and validated");
  }
  DocumentContent before, after;
  if (changes != nullptr) ReadTree(m_dom.DocumentElement(), before);
  m_dom = current;
  Remember(content.stamp, std::move(content.bytes));
  unwritten_ = false;
  if (keepChanges) {
    saveReport_.dropped = Replay();
  } else {
    journal_.clear();
    torn_ = false;
  }
  if (changes != nullptr) {
    ReadTree(m_dom.DocumentElement(), after);
    *changes = Compare(before, after);
  }
  return true;
}

}  // namespace dev
