// The device configuration service: the document "kvoDevice.xml" in the
// host's data directory, its lifecycle and its operations.
#pragma once

#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IConfigurationExtensions.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <cerrno>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "devicefile/Call.h"
#include "devicefile/Change.h"
#include "devicefile/DocumentIndex.h"
#include "devicefile/History.h"
#include "host/XMLDOMDocument.h"
#include "platform/Boundary.h"
#include "platform/files.h"

namespace dev {

// Says in `report` (an OpenReport or a SaveReport) that memory ran out:
// ENOMEM, failed where the report has that, and the reason where even that
// can be said.
template <typename Report>
void SayOutOfMemory(Report& report) noexcept {
  report.systemError = ENOMEM;
  if constexpr (requires { report.failed; }) report.failed = true;
  platform::NoThrow(false, [&report] {
    report.reason = L"out of memory";
    return true;
  });
}

// IDeviceManagerIO comes first, so that its slots are the object's own; the
// editor and the extensions are further interfaces of the same object.
class CXMLFile : public IDeviceManagerIO,
                 public utl::CXMLDOMDocument,
                 public IDeviceEditor,
                 public IConfigurationExtensions {
 public:
  enum class Access { ReadWrite, ReadOnly };
  // Opens the document; see CreateXMLFile and OpenXMLFileReadOnly.
  explicit CXMLFile(Access access = Access::ReadWrite);
  // The same, for the configuration in `dataDirectory` (absolute).
  CXMLFile(Access access, const CString& dataDirectory);
  // Saves what changed since the document was loaded or last saved, if anything.
  ~CXMLFile() override;

  bool Save() override;
  bool GetUnitList(std::vector<UnitKey>& units, bool skipExcluded) override;
  bool ExistsUnit(const UnitKey& key) override;
  bool AddUnit(const UnitKey& key) override;
  bool RemoveUnit(const UnitKey& unit) override;
  bool GetUnitPorts(const UnitKey& unit, std::vector<PortAddress>& ports) override;
  bool UnlinkUnitPort(const UnitKey& unit, const PortAddress& port) override;
  bool GetDriverFiles(std::set<std::wstring>& files) override;
  bool AddDriverFile(const CString& file) override;
  bool ClearDriverFiles() override;

  // Editing (Editing.cpp).
  bool LinkUnitPort(const UnitKey& unit, const PortAddress& port) override;
  bool RemovePort(const PortAddress& port) override;
  bool GetUnit(const UnitKey& unit, UnitDetails& details) override;
  bool SetUnitText(const UnitKey& unit, UnitText which, const wchar_t* text) override;
  bool SetUnitSetup(const UnitKey& unit, UnitSetup setup) override;
  bool GetSets(std::vector<std::wstring>& names) override;
  bool GetSet(const std::wstring& name, SetDetails& details) override;
  bool GetActiveSet(std::wstring& name) override;
  bool CreateSet(const std::wstring& name, const std::wstring& comment) override;
  bool SetSetComment(const std::wstring& name, const std::wstring& comment) override;
  bool AddSetMember(const std::wstring& name, const UnitKey& unit) override;
  bool RemoveSetMember(const std::wstring& name, const UnitKey& unit) override;
  bool SetActiveSet(const std::wstring& name) override;
  bool RemoveDriverFile(const std::wstring& file) override;
  bool RenameUnit(const std::wstring& from, const UnitKey& to) override;
  bool RenameSet(const std::wstring& from, const std::wstring& to) override;
  bool DeleteSet(const std::wstring& name) override;
  bool GetUnits(std::vector<UnitDetails>& units, bool skipExcluded) override;

  // The extensions (see the functions of the same names in ConfigurationFile.h).
  IDeviceEditor* Editor() noexcept override;
  OpenReport GetOpenReport() const override { return openReport_; }
  SaveReport GetLastSaveReport() const override { return saveReport_; }
  const OpenReport& openReport() const noexcept { return openReport_; }
  DocumentContent OpenedContent() const override;
  bool RepairLinks(bool apply, std::vector<LinkRepair>& repairs) override;
  // Why the last operation answered false (Failure.cpp).
  std::wstring LastFailure() const override;
  Failure LastFailureKind() const override;
  static std::vector<HistoryVersion> ListHistory();
  static bool Restore(const std::wstring& version, SaveReport& report);
  static std::wstring RestoreExposure(const std::wstring& version);

 private:
  // What reading and loading the document file came to.
  enum class FileLoad { Loaded, Missing, Unreadable, Damaged, SchemaUnwritable };

  // The document as a writer holds it: resolved once, under the data
  // directory's lock and, for a linked document, the lock beside its final
  // target as well, so that data directories sharing one file serialise too.
  struct HeldDocument {
    platform::Directory dataDirectory;
    platform::WriteTarget target;
    std::optional<platform::FileLock> lock, targetLock;
    platform::FileError error;  // why it is not held
    bool held() const { return targetLock ? targetLock->held() : lock && lock->held(); }
    // The document's file as it is now, under the locks.
    platform::FileStamp Current() { return target.old = target.directory.StatEntry(target.name, &error); }
  };
  // Resolves the document and takes the writers' locks; false, with
  // `held.error`, when they cannot be held (waited for at most KVO_LOCK_TIMEOUT).
  bool HoldDocument(HeldDocument& held) const;
  // The same for a static operation, in `dataDirectory`.
  static bool HoldDocument(const CString& dataDirectory, HeldDocument& held);

  // Lifecycle (XMLFile.cpp).
  bool Open();
  bool OpenReadOnly();
  // Reads the document file whole and loads it into `dom`, validated; when
  // that fails and `mayWriteSchema`, writes the schema anew and tries once
  // more. `content` keeps what was read, `error` what could not be read or written.
  FileLoad LoadDocumentFile(platform::xml::Document& dom, platform::FileContent& content, platform::FileError& error,
                            bool mayWriteSchema, const platform::WriteTarget* target = nullptr);
  // Keeps the damaged `content` as the backup, with the document's
  // permissions; false, with `error`, when it cannot be written.
  bool BackUpDamagedDocument(const platform::FileContent& content, const CString& message, platform::FileError& error);
  bool CreateDefaultDocument(CString* message);
  bool WriteSchema(platform::FileError* error = nullptr);
  bool GiveUp(const platform::FileError& error, const wchar_t* what);
  // The opening threw (memory ran out): nothing is loaded, and nothing will be saved.
  void Abandon() noexcept;
  // The message a recovery writes, from the last load of `dom`.
  static CString ParseErrorMessage(const platform::xml::Document& dom);
  // The opening found the document damaged: the report gets the error and the message.
  void ReportDamage(const platform::xml::ParseError& error, const CString& message);
  // The host's data directory as it is now, made absolute.
  static CString GetDataDirectory();
  // This object's files, in the data directory it was made for.
  CString DocumentPath() const;
  CString SchemaPath() const;

  // Saving and merging (Save.cpp).
  // Makes `change` on the document (see Apply) and, when it changed the
  // document, keeps it in the journal, to be made again on a newer file
  // (see SaveChanges). A change that throws (memory ran out) may be half
  // made: the document is then torn, and the next save makes it again from
  // the file and the journal, without that change. The exception goes on to
  // the entry point, which answers false.
  bool Record(Change change, Applied* applied = nullptr);
  // The one place where a change is made on a document, the first time and
  // again at a merge: the operation's answer; `applied` says why a change
  // that names what is not there any more no longer applies (Apply.cpp).
  bool Apply(const Change& change, Applied& applied);
  // Makes the journal's changes on the document just loaded; keeps in it the
  // ones that still change something, and answers the ones that no longer
  // apply, in words.
  std::vector<std::wstring> Replay();
  // Writes the document when anything changed since it was loaded or last
  // saved, under the directory's lock; when another writer replaced the file
  // meanwhile, that file is loaded first and this object's changes are made
  // on it again. Nothing changed: true, and nothing is written.
  bool SaveChanges() noexcept;
  bool SaveOrThrow();
  // Something this object holds is not in the file: journaled changes, or a
  // default document whose write failed.
  bool HasChanges() const noexcept { return !journal_.empty() || unwritten_; }
  // Whether the file `held` holds is still the one this object last read or wrote.
  // A racy file that still holds what this object knows once its time step
  // is over is no longer racy.
  bool IsKnownFile(HeldDocument& held);
  // Loads the file another writer saved and makes the journal's changes on it.
  bool MergeWithFile(HeldDocument& held, platform::FileError& error);
  // Writes the DOM over the document file (through a link, keeping the file's
  // permissions), keeping the file it replaces in the history for `reason`
  // once it is replaced; remembers what it wrote.
  bool WriteDocument(HeldDocument& held, platform::FileError& error, History::Reason reason = History::Reason::Save);
  // Keeps `bytes` only while the file is racy: never for a file written
  // with a settled time, which `pin` holds.
  void Remember(const platform::FileStamp& stamp, std::string bytes, platform::Descriptor pin = platform::Descriptor());
  bool SaveFailed(const platform::FileError& error, const std::wstring& what);
  // Runs `body` (a save, refresh or discard) to its report: running out of
  // memory, or a failure of the document model, answers false and says so,
  // and the next save makes the document again from the file and the journal.
  template <typename Body>
  bool Reported(Body body) noexcept {
    try {
      return body();
    } catch (const std::bad_alloc&) {
      torn_ = true;
      saveReport_ = {};
      SayOutOfMemory(saveReport_);
    } catch (...) {  // the boundary of the interfaces, which throw nothing
      torn_ = true;
      saveReport_ = {};
      saveReport_.failed = true;
      platform::NoThrow(false, [this] {
        saveReport_.reason = L"stopped on an unexpected failure of the document model";
        return true;
      });
    }
    return false;
  }

 public:
  // Refreshing and discarding (Refresh.cpp); see the functions of the same
  // names in ConfigurationFile.h.
  bool IsStale() override;
  bool Refresh(DocumentChanges* changes) override;
  bool DiscardChanges() override;
  std::vector<std::wstring> PendingChanges() const override;

 private:
  // Loads the file as it is now, unless it is the one this object holds
  // already, and makes it the object's document; the journal's changes made
  // on it again when `keepChanges`, else forgotten.
  bool Reload(bool keepChanges, DocumentChanges* changes);
  // Resolves the document without a lock, as a reader does.
  bool LocateDocument(HeldDocument& held) const;

  // The changes as Apply makes them on the document (in the files of their
  // operations). Each answers as its operation does.
  bool AddUnitToDocument(const UnitKey& key);
  bool UnlinkInDocument(const UnitKey& unit, const PortAddress& port);
  bool RemoveEmptyDriverFiles();
  bool AddDriverFileToDocument(const std::wstring& file);
  bool ClearDriverFilesInDocument();
  bool RemoveDriverFileFromDocument(const std::wstring& file);
  bool LinkInDocument(const UnitKey& unit, const PortAddress& port);
  bool RemovePortFromDocument(const PortAddress& port);
  bool SetUnitTextInDocument(const UnitKey& unit, UnitText which, const std::optional<std::wstring>& text);
  bool SetUnitSetupInDocument(const UnitKey& unit, UnitSetup setup);
  bool CreateSetInDocument(const std::wstring& name, const std::wstring& comment);
  bool RenameUnitInDocument(const std::wstring& from, const UnitKey& to);
  bool RenameSetInDocument(const std::wstring& from, const std::wstring& to);
  bool DeleteSetInDocument(const std::wstring& name);
  bool SetSetCommentInDocument(const std::wstring& name, const std::wstring& comment);
  bool AddSetMemberInDocument(const std::wstring& name, const UnitKey& unit);
  bool RemoveSetMemberInDocument(const std::wstring& name, const UnitKey& unit);
  bool SetActiveSetInDocument(const std::wstring& name);
  // What repairing the links changes, made when `apply`.
  std::vector<LinkRepair> RepairLinksInDocument(bool apply);
  // ExistsUnit inside the library: running out of memory is thrown, not answered.
  bool UnitListed(const UnitKey& key) const;
  Node FindUnit(const UnitKey& unit) const;
  Node FindSet(const std::wstring& name) const;
  // The index of the document, in step with it.
  const DocumentIndex& Index() const {
    index_.Follow();
    return index_;
  }
  using Indexed = DocumentIndex::Kind;
  // The first node of `kind` named `key`, and the first link of `kind` below
  // `holder` that names `id` (null for a null holder).
  Node FirstNamed(Indexed kind, std::wstring_view key) const { return Index().First(kind, DocumentIndex::Key(key)); }
  Node LinkIn(const Node& holder, Indexed kind, std::wstring_view id) const {
    return holder ? Index().First(kind, DocumentIndex::Key(id), holder.Ref()) : Node();
  }
  // Calls `visit(node, excluded, id)` with each Unit of the document in order
  // (`excluded`: set to "exclude"; `id`: nullopt when it has none) until visit
  // answers false.
  template <typename Visit>
  void ForEachUnit(const Visit& visit) const;
  // Every Unit of the list with its details, as the document holds them now:
  // read again only after the document changed, so that a host that reads all
  // units over and over copies them instead of reading the DOM each time.
  struct UnitRead {
    UnitDetails details;
    bool excluded = false, hasId = false;
  };
  struct UnitsRead {
    std::vector<UnitRead> units;  // storage reused: `count` of them hold the units
    std::size_t count = 0;
    DocumentIndex::Mark mark;  // when it was read
  };
  const UnitsRead& ReadUnits();
  // The details of the Unit `node` (all but the key).
  static void ReadUnit(const Node& node, UnitDetails& details);
  Node ActiveSetNode() const;  // null when there is no set list or no ActiveSet
  // The names of the driver files of the document.
  std::set<std::wstring> DriverFileNames() const;

  // Answers what `body` answers (false when it throws), and keeps `call`
  // when that is false, for LastFailure.
  template <typename Body>
  bool Answered(const Call& call, Body&& body) noexcept {
    try {
      if (body()) return failed_ = false, true;
      Failed(call, Failure::None);
    } catch (const std::bad_alloc&) {
      Failed(call, Failure::OutOfMemory);
    } catch (...) {  // the boundary of the interfaces, which throw nothing
      Failed(call, Failure::Damaged);
    }
    return false;
  }
  void Failed(const Call& call, Failure threw) noexcept;
  using Reason = std::pair<Failure, std::wstring>;
  Reason Diagnose() const;

  // Unit removal.
  bool EnsureSetsNode();
  bool RemoveUnitFromDocument(const UnitKey& unit);

  // Follows m_dom; built on the first lookup after a load.
  mutable DocumentIndex index_{m_dom};
  UnitsRead unitsRead_;
  const Access access_;
  // The last operation answered false: `lastCall_` is what it was asked.
  bool failed_ = false;
  FailedCall lastCall_;
  const CString dataDirectory_;
  History history_;
  OpenReport openReport_;
  SaveReport saveReport_;
  // A read-only opening reads the document into `opened_` and keeps it, so
  // that what the document holds is told from those bytes rather than from
  // another read of a file that may have changed since; `openedValid_`: the
  // opening validated them against the schema the library writes, and they
  // matched.
  platform::FileContent opened_;
  bool openedValid_ = false;

  // The changes made to the document since it was loaded or last written,
  // in order; made again on a newer file before a save.
  std::vector<Change> journal_;
  // An operation threw halfway (see Journaled): the DOM is not to be written
  // as it is, but made again from the file and the journal.
  bool torn_ = false;
  // The DOM holds a document that the file does not, without a journal entry
  // (a default document whose write failed).
  bool unwritten_ = false;
  // The file as this object last read or wrote it.
  struct KnownFile {
    platform::FileStamp stamp;
    // Read or written so recently that a rewrite may have kept its time
    // stamp: the content decides, so it is kept (a hash would cost two passes
    // over the bytes each save, a comparison costs one).
    bool racy = false;
    std::string bytes;
    // The file this object wrote with a settled time (platform::Written): its
    // stamp alone tells whether it is still there and unchanged.
    platform::Descriptor pin;
  } known_;
};

// What CreateXMLFile and OpenXMLFileReadOnly answer when memory ran out
// before an object could be made: one without a document (Unopened.cpp).
IDeviceManagerIO* UnopenedFile() noexcept;

}  // namespace dev
