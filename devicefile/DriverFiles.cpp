// The list of driver files.
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {
namespace {

using platform::com::_com_error;

// Driver file names compare with the letters A to Z in either case.
std::wstring Folded(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return text;
}

}  // namespace

bool CXMLFile::GetDriverFiles(std::set<std::wstring>& files) {
  files.clear();
  return Answered({Call::Op::GetDriverFiles}, [&] {
    if (!isDOMReady()) return false;
    const bool removed = Record({Change::Kind::RemoveEmptyDriverFiles});
    files = DriverFileNames();
    return removed;
  });
}

std::set<std::wstring> CXMLFile::DriverFileNames() const {
  std::set<std::wstring> files;
  const Node list = m_dom.DocumentElement().ChildElement(XMLNames.DriverList.str());
  for (Node entry = list ? list.FirstChild() : Node(); entry; entry = entry.NextSibling())
    if (entry.IsElement() && entry.Name() == XMLNames.File.str())
      if (std::wstring text = entry.Text(); !text.empty()) files.insert(std::move(text));
  return files;
}

bool CXMLFile::RemoveEmptyDriverFiles() {
  bool removed = true;
  for (const Node& entry : Index().Nodes(Index().Find(Indexed::File, "")))
    if (!entry.Parent().RemoveChild(entry)) removed = false;
  return removed;
}

bool CXMLFile::AddDriverFile(const CString& file) {
  return Answered({.op = Call::Op::AddDriverFile, .name = file.str()}, [&] {
    if (!isDOMReady()) return false;
    // Refused before anything changes: a name that would be an empty entry
    // (which GetDriverFiles deletes) or that the file cannot hold.
    if (file.IsEmpty() || !platform::xml::IsXmlText(file.str())) return false;
    Change change{Change::Kind::AddDriverFile};
    change.name = file.str();
    return Record(std::move(change));
  });
}

bool CXMLFile::AddDriverFileToDocument(const std::wstring& file) {
  if (FirstNamed(Indexed::File, Folded(file))) return false;
  const Node node = newNode(XMLNames.File, getChildNode(XMLNames.DriverList, m_dom.DocumentElement(), true), nullptr,
                            nullptr);
  return node && setString(node, CString(file));
}

bool CXMLFile::ClearDriverFiles() {
  return Answered({Call::Op::ClearDriverFiles}, [&] { return Record({Change::Kind::ClearDriverFiles}); });
}

bool CXMLFile::ClearDriverFilesInDocument() {
  try {
    // A missing list would be created, then removed: the document stays as
    // it is, and the answer is the removal's.
    const Node list = getChildNode(XMLNames.DriverList, m_dom.DocumentElement(), false);
    if (!list) return true;
    const Node parent = list.Parent();
    return parent.IsElement() && parent.RemoveChild(list);
  } catch (const _com_error&) {
    return true;
  }
}

bool CXMLFile::RemoveDriverFile(const std::wstring& file) {
  return Answered({.op = Call::Op::RemoveDriverFile, .name = file}, [&] {
    Change change{Change::Kind::RemoveDriverFile};
    change.name = file;
    return Record(std::move(change));
  });
}

bool CXMLFile::RemoveDriverFileFromDocument(const std::wstring& file) {
  const Node entry = FirstNamed(Indexed::File, Folded(file));
  return entry && entry.Parent().RemoveChild(entry);
}

}  // namespace dev
