// The list of driver files.
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

using platform::com::_com_error;

bool CXMLFile::GetDriverFiles(std::set<std::wstring>& files) {
  return platform::NoThrow(false, [&] {
    return Journaled([this, &files] { return ListDriverFiles(files); },
                     [this] {
                       std::set<std::wstring> unused;
                       return ListDriverFiles(unused);
                     });
  });
}

bool CXMLFile::ListDriverFiles(std::set<std::wstring>& files) {
  files.clear();
  if (!isDOMReady()) return false;
  bool result = true;
  try {
    const auto nodes = utl::CXPATHString(XMLNames.DriverList).setChild(XMLNames.File).selectNodes(m_dom);
    if (!nodes) return result;
    for (long i = 0; i < nodes->length(); ++i) {
      const Node file = nodes->item(i);
      if (!file) continue;
      CString text;
      if (!getString(file, text)) return result;
      if (!text.IsEmpty()) {
        files.insert(text.str());
        continue;
      }
      const Node parent = file.Parent();  // an empty entry goes
      if (!parent.IsElement() || !parent.RemoveChild(file)) result = false;
    }
    return result;
  } catch (const _com_error&) {
    return result;
  }
}

bool CXMLFile::AddDriverFile(const CString& file) {
  return platform::NoThrow(false, [&] {
    if (!isDOMReady()) return false;
    // Refused before anything changes: a name that would be an empty entry
    // (which GetDriverFiles deletes) or that the file cannot hold.
    if (file.IsEmpty() || !platform::xml::IsXmlText(file.str())) return false;
    return Journaled([this, file] {
      CString lower = file;
      lower.MakeLower();
      CString path;
      path.Format(L"%ls/%ls[translate(., 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') =%ls]",
                  XMLNames.DriverList.GetString(), XMLNames.File.GetString(), utl::XPathLiteral(lower.str()).c_str());
      if (existsNode(utl::CXPATHString(path))) return false;
      const Node list = getChildNode(XMLNames.DriverList, m_dom.DocumentElement(), true);
      const Node node = newNode(XMLNames.File, list, nullptr, nullptr);
      return node && setString(node, file);
    });
  });
}

bool CXMLFile::ClearDriverFiles() {
  return platform::NoThrow(false, [&] {
    return Journaled([this] {
      if (!isDOMReady()) return false;
      bool result = true;
      try {
        // A missing list would be created, then removed: the document stays as
        // it is, and the answer is the removal's.
        const Node list = getChildNode(XMLNames.DriverList, m_dom.DocumentElement(), false);
        if (!list) return true;
        const Node parent = list.Parent();
        result = parent.IsElement() && parent.RemoveChild(list);
      } catch (const _com_error&) {
        return result;
      }
      return result;
    });
  });
}

}  // namespace dev
