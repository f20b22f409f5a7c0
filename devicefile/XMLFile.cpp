// The configuration file's lifecycle: open, recover, create, save.
#include "devicefile/XMLFile.h"

#include <kvodevice/Host.h>

#include "devicefile/XMLNames.h"
#include "host/Files.h"
#include "platform/files.h"
#include "schema/XMLDeviceSchema.h"

namespace dev {
namespace {

using platform::com::_com_error;

constexpr const wchar_t* kFileTitle = L"kvoDevice";
constexpr const wchar_t* kSchemaInstanceNamespace = L"http://www.w3.org/2001/XMLSchema-instance";

}  // namespace

IDeviceManagerIO* CreateXMLFile() { return new CXMLFile(); }

CXMLFile::CXMLFile() : CXMLDOMDocument(GetDocumentPath()) { Open(); }

CXMLFile::~CXMLFile() {
  save();  // writes nothing when the DOM holds no document element
}

bool CXMLFile::Save() { return save(); }

CString CXMLFile::GetDataDirectory() { return CString(ssnGetDataDir(1)); }

CString CXMLFile::GetDocumentPath() { return GetDataDirectory() + L"\\" + kFileTitle + L".xml"; }

CString CXMLFile::GetSchemaPath() { return GetDataDirectory() + L"\\" + kFileTitle + L".xsd"; }

bool CXMLFile::Open() {
  for (const CString& path : {m_path, m_path + L".bak", GetSchemaPath()}) platform::RemoveAbandonedTemporaries(path.str());
  if (!osExistsFile(GetSchemaPath()) && !WriteSchema()) return false;  // nothing loaded, no file touched
  if (!osExistsFile(m_path)) return CreateDefaultDocument(nullptr);
  if (load(false)) return true;
  if (!WriteSchema()) return false;
  if (load(true)) return true;
  return ReplaceDamagedDocument();
}

// Both loads failed: keep the damaged file as the backup, then start anew.
bool CXMLFile::ReplaceDamagedDocument() {
  const platform::xml::ParseError& error = m_dom.LastParseError();
  CString message;
  message.Format(L"\nFailed to load XML file:\nparse error: %x\nin line: %d col: %d\n%ls", error.errorCode, error.line,
                 error.linepos, error.reason.c_str());
  const CString backupPath = m_path + L".bak";

  const bool validate = m_dom.ValidateOnParse();
  m_dom.SetValidateOnParse(false);
  bool backedUp;
  if (m_dom.Load(m_path.str())) {
    // Well-formed but not valid: the backup is the parsed content with the message.
    m_dom.AsNode().AppendChild(m_dom.CreateComment(message.str()));
    try {
      m_dom.Save(backupPath.str());
      backedUp = true;
    } catch (const _com_error&) {
      backedUp = false;
    }
  } else {
    backedUp = platform::CopyFileReplacing(m_path.str(), backupPath.str());
  }
  m_dom.SetValidateOnParse(validate);

  if (!backedUp) {
    // Without a backup the damaged file is the only copy of the user's data:
    // leave it as it is, and leave the DOM empty so that the release writes nothing.
    m_dom.LoadXML(L"");
    return false;
  }
  return CreateDefaultDocument(&message);
}

bool CXMLFile::CreateDefaultDocument(CString* message) {
  try {
    m_dom.LoadXML(L"");
    newProcessingInstruction();
    const Node document = m_dom.AsNode();
    addComment(L"Device information file for kvoRQ", document);
    if (message != nullptr) {
      *message += L"Default document created instead.";
      addComment(*message, document);
    }
    const Node devices = m_dom.CreateElement(XMLNames.DocumentElementBstr.view());
    devices.SetAttribute(L"xmlns:xsi", kSchemaInstanceNamespace);
    const CString schemaPath = GetSchemaPath();
    devices.SetAttribute(L"xsi:noNamespaceSchemaLocation", schemaPath.Mid(schemaPath.ReverseFind(L'\\') + 1).str());
    document.AppendChild(devices);
    save();
    return true;
  } catch (const _com_error&) {
    return false;
  }
}

bool CXMLFile::WriteSchema() {
  try {
    return CXMLDeviceSchema(GetSchemaPath()).Generate();
  } catch (...) {
    return false;
  }
}

}  // namespace dev
