// The configuration file's lifecycle: open, recover, create.
#include "devicefile/XMLFile.h"

#include <kvodevice/Host.h>

#include <cerrno>

#include "devicefile/DocumentLinks.h"
#include "devicefile/FileNames.h"
#include "names/XMLNames.h"
#include "platform/strings.h"
#include "schema/XMLDeviceSchema.h"

namespace dev {
namespace {

using platform::com::_com_error;

constexpr const wchar_t* kSchemaInstanceNamespace = L"http://www.w3.org/2001/XMLSchema-instance";

// A load that failed because the schema could not be read or used: the
// document is not known to be damaged. A schema that is not there is another
// matter, as the document then names one that does not exist.
bool SchemaUnusable(const platform::xml::Document& dom, platform::FileError& error) {
  const platform::FileError& unread = dom.LastParseError().file;
  if (unread.code == 0 || unread.code == ENOENT) return false;
  error = unread;
  return true;
}

}  // namespace

IDeviceManagerIO* CreateXMLFile() {
  return platform::NoThrow(UnopenedFile(), []() -> IDeviceManagerIO* { return new CXMLFile(); });
}

CXMLFile::CXMLFile(Access access) : CXMLFile(access, GetDataDirectory()) {}

// The data directory is fixed here, absolute: a later chdir of the host, or
// another ssnSetDataDir, never moves this object's file.
CXMLFile::CXMLFile(Access access, const CString& dataDirectory)
    : CXMLDOMDocument(dataDirectory + L"/" + kDocumentName),
      access_(access),
      dataDirectory_(dataDirectory),
      history_(dataDirectory.str(), History::KeepFromEnvironment()) {
  m_writeOptions.followLink = true;  // a linked document stays linked
  m_writeOptions.settleTime = true;  // what this object writes is known by its stamp alone
  try {
    access_ == Access::ReadOnly ? OpenReadOnly() : Open();
    openReport_.historyUnusable = history_.Unusable();
  } catch (...) {
    Abandon();
  }
}

void CXMLFile::Abandon() noexcept {
  m_dom = platform::xml::Document();  // no document: every operation answers false, and nothing is saved
  journal_.clear();
  unwritten_ = torn_ = false;
  openReport_ = {};
  openReport_.readOnly = access_ == Access::ReadOnly;
  SayOutOfMemory(openReport_);
}

CXMLFile::~CXMLFile() { SaveChanges(); }

bool CXMLFile::Save() {
  return Answered({Call::Op::Save}, [&] { return SaveChanges(); });
}

CString CXMLFile::GetDataDirectory() {
  std::wstring directory = ssnGetDataDir(1);
  // Empty only when the host's data directory could not be made (memory ran
  // out): never "/", where the library's names would otherwise go.
  if (directory.empty()) throw std::bad_alloc();
  return CString(platform::AbsolutePath(directory));
}

CString CXMLFile::DocumentPath() const { return m_path; }

CString CXMLFile::SchemaPath() const { return dataDirectory_ + L"/" + kSchemaName; }

bool CXMLFile::HoldDocument(HeldDocument& held) const { return HoldDocument(dataDirectory_, held); }

bool CXMLFile::HoldDocument(const CString& dataDirectory, HeldDocument& held) {
  held.dataDirectory = platform::Directory::Open(dataDirectory.str(), held.error);
  if (!held.dataDirectory.valid() ||
      !platform::ResolveTarget((dataDirectory + L"/" + kDocumentName).str(), true, held.target, held.error))
    return false;
  const std::chrono::milliseconds timeout = platform::LockTimeoutFromEnvironment();
  held.lock.emplace(held.dataDirectory, platform::NativePath(kLockName),
                    held.target.old, timeout);
  if (!held.lock->held()) {
    held.error = held.lock->error();
    return false;
  }
  if (held.target.linked) {
    held.targetLock.emplace(held.target.directory, platform::LockNameFor(held.target.name), held.target.old, timeout);
    if (!held.targetLock->held()) {
      held.error = held.targetLock->error();
      return false;
    }
  }
  held.Current();  // another writer may have replaced it while this one waited
  return !held.error;
}

bool CXMLFile::Open() {
  // Every writer holds these locks while it writes, so the temporary files
  // found under them are abandoned ones.
  HeldDocument held;
  const bool locked = HoldDocument(held);
  // Another writer kept the lock past the wait: this object could never save.
  if (!locked && held.error.code == EAGAIN) return GiveUp(held.error, L"the configuration cannot be locked");
  if (locked) {
    platform::RemoveAbandonedTemporaries(held.target.directory, held.target.name);
    for (const std::wstring& name : {std::wstring(kBackupName), std::wstring(kSchemaName), std::wstring(kLockName)})
      platform::RemoveAbandonedTemporaries(held.dataDirectory, platform::NativePath(name));
  }

  platform::FileError error;
  if (platform::StatPath(SchemaPath().str(), &error).kind == platform::FileStamp::Kind::Missing) {
    if (!locked) return GiveUp(held.error, L"the schema is missing and cannot be written without the lock");
    if (!WriteSchema(&error)) return GiveUp(error, L"the schema cannot be written");
  }

  platform::FileContent content;
  const FileLoad load = LoadDocumentFile(m_dom, content, error, locked, locked ? &held.target : nullptr);
  if (load == FileLoad::Loaded) {
    Remember(content.stamp, std::move(content.bytes));
    openReport_.outcome = OpenOutcome::Loaded;
    return true;
  }
  if (load == FileLoad::Unreadable) return GiveUp(error, L"the document cannot be read and validated");
  if (load == FileLoad::SchemaUnwritable) return GiveUp(error, L"the schema cannot be written");
  // Missing or damaged: only a writer may go on.
  if (!locked) return GiveUp(held.error, L"the document cannot be replaced without the lock");
  platform::FileError ignored;  // a write that fails now is tried again by the next save
  if (load == FileLoad::Missing) {
    openReport_.outcome = OpenOutcome::Created;
    const bool created = CreateDefaultDocument(nullptr);
    if (created && WriteDocument(held, ignored)) unwritten_ = false;
    return created;
  }

  CString message = ParseErrorMessage(m_dom);
  if (!BackUpDamagedDocument(content, message, error)) {
    // Without a backup the damaged file is the only copy of the user's data:
    // it stays as it is, and nothing is loaded, so nothing is written over it.
    return GiveUp(error, L"the damaged document cannot be backed up");
  }
  Remember(content.stamp, std::move(content.bytes));
  const platform::xml::ParseError damage = m_dom.LastParseError();
  const bool created = CreateDefaultDocument(&message);
  // The damaged file it replaces goes into the history too.
  if (created && WriteDocument(held, ignored, History::Reason::Recovery)) unwritten_ = false;
  ReportDamage(damage, message);
  return created;
}

bool CXMLFile::OpenReadOnly() {
  openReport_.readOnly = true;
  // The schema this library writes, from memory: a missing or damaged schema
  // file changes nothing, as an ordinary opening would write it anew.
  m_dom.SetSchemaText(kSchemaName, SchemaText());
  // Asked only where the answer matters, once.
  const auto schemaMissing = [this] { return platform::StatPath(SchemaPath().str()).kind == platform::FileStamp::Kind::Missing; };
  platform::FileError error;
  switch (LoadDocumentFile(m_dom, opened_, error, false)) {
    case FileLoad::Loaded: {
      Remember(opened_.stamp, opened_.bytes);
      openReport_.outcome = OpenOutcome::Loaded;
      // An ordinary opening writes a missing schema first, and validates
      // against the schema file and writes it anew when that fails: say
      // whether it would.
      platform::xml::Document probe = platform::xml::Document::Create();
      openReport_.schemaWritten = schemaMissing() || !probe.LoadBytes(opened_.bytes, m_path.str());
      openedValid_ = m_dom.ValidatedByKnownSchema();
      return true;
    }
    case FileLoad::Missing:
      openReport_.outcome = OpenOutcome::Created;
      openReport_.schemaWritten = schemaMissing();
      return CreateDefaultDocument(nullptr);
    case FileLoad::Damaged: {
      const CString message = ParseErrorMessage(m_dom) + L"Default document created instead.";
      const platform::xml::ParseError damage = m_dom.LastParseError();
      GiveUp({}, L"");
      ReportDamage(damage, message);
      openReport_.schemaWritten = true;  // a failed load writes the schema anew
      return false;
    }
    default:
      return GiveUp(error, L"the document cannot be read");
  }
}

DocumentContent CXMLFile::OpenedContent() const {
  return openReport_.readOnly ? ContentOf(opened_, m_path.str(), openedValid_) : DocumentContent{};
}

CXMLFile::FileLoad CXMLFile::LoadDocumentFile(platform::xml::Document& dom, platform::FileContent& content,
                                              platform::FileError& error, bool mayWriteSchema,
                                              const platform::WriteTarget* target) {
  // A writer reads the file it resolved; a reader resolves the path once, by opening it.
  platform::ReadOptions resolved;
  resolved.asSaveFollows = true;
  content = target != nullptr ? target->directory.Read(target->name) : platform::ReadWholeFile(m_path.str(), resolved);
  if (!content.readable) {
    error = content.error;
    return content.error.code == ENOENT ? FileLoad::Missing : FileLoad::Unreadable;
  }
  if (dom.LoadBytes(content.bytes, m_path.str())) return FileLoad::Loaded;
  // A schema that cannot be read, or is damaged, costs nothing: it is the
  // library's own file, written anew before the second attempt.
  if (!mayWriteSchema) return SchemaUnusable(dom, error) ? FileLoad::Unreadable : FileLoad::Damaged;
  if (!WriteSchema(&error)) return FileLoad::SchemaUnwritable;
  if (dom.LoadBytes(content.bytes, m_path.str())) return FileLoad::Loaded;
  return SchemaUnusable(dom, error) ? FileLoad::Unreadable : FileLoad::Damaged;
}

CString CXMLFile::ParseErrorMessage(const platform::xml::Document& dom) {
  const platform::xml::ParseError& error = dom.LastParseError();
  CString message;
  message.Format(L"\nFailed to load XML file:\nparse error: %x\nin line: %d col: %d\n%ls", error.errorCode, error.line,
                 error.linepos, error.reason.c_str());
  return message;
}

void CXMLFile::ReportDamage(const platform::xml::ParseError& error, const CString& message) {
  openReport_.outcome = OpenOutcome::Recovered;
  openReport_.reason = message.str();
  openReport_.parseError = error.errorCode;
  openReport_.line = error.line;
  openReport_.column = error.linepos;
  openReport_.parseErrorKind = platform::xml::ExplainErrorCode(error.errorCode);
  openReport_.parseErrorText = error.reason;
  openReport_.parseErrorText.erase(openReport_.parseErrorText.find_last_not_of(L" \n") + 1);
}

bool CXMLFile::BackUpDamagedDocument(const platform::FileContent& content, const CString& message,
                                     platform::FileError& error) {
  // Well-formed but not valid: the parsed content with the message. Not
  // well-formed: the bytes as they were read.
  std::string backup = content.bytes;
  try {
    platform::xml::Document parsed = platform::xml::Document::Create();
    parsed.SetValidateOnParse(false);
    if (parsed.LoadBytes(content.bytes, m_path.str())) {
      parsed.AsNode().AppendChild(parsed.CreateComment(message.str()));
      backup = parsed.Serialize();
    }
  } catch (const _com_error&) {
    backup = content.bytes;
  }
  // Never more readable than the document it copies.
  platform::WriteOptions options;
  options.permissions = platform::Permissions::Like;
  options.like = content.stamp;
  return platform::ReplaceFileAtomically((m_path + L".bak").str(), backup, options, &error);
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
    const CString schemaPath = SchemaPath();
    devices.SetAttribute(L"xsi:noNamespaceSchemaLocation", schemaPath.Mid(schemaPath.ReverseFind(L'/') + 1).str());
    document.AppendChild(devices);
  } catch (const _com_error&) {
    return false;
  }
  unwritten_ = true;  // until the caller writes it
  return true;
}

std::string SchemaText() { return CXMLDeviceSchema(kSchemaName).Serialized(); }

DataDirectoryFiles FilesOf(const std::wstring& dataDirectory) {
  const std::wstring dir = dataDirectory + L"/";
  return {dir + kDocumentName, dir + kSchemaName, dir + kBackupName, dir + kHistoryName, dir + kLockName};
}

std::size_t HistoryKeep() { return History::KeepFromEnvironment(); }

bool CXMLFile::WriteSchema(platform::FileError* error) {
  CXMLDeviceSchema schema(SchemaPath());
  const bool written = schema.Generate();
  if (written) openReport_.schemaWritten = true;
  if (!written && error != nullptr) *error = schema.lastSaveError();
  return written;
}

bool CXMLFile::GiveUp(const platform::FileError& error, const wchar_t* what) {
  m_dom.LoadXML(L"");  // nothing loaded: every operation answers false, and nothing is saved
  openReport_.outcome = OpenOutcome::GaveUp;
  openReport_.systemError = error.code;
  openReport_.reason = what;
  if (error) openReport_.reason += L": " + error.Describe();
  return false;
}

}  // namespace dev
