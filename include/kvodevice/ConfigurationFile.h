// The configuration service beyond IDeviceManagerIO, whose slots stay as they
// are: an opening that writes nothing, how an opening ended, why the last save
// failed and what it dropped, the changes an object holds, seeing other
// writers' changes (IsStale, Refresh), throwing changes away, the history of
// replaced versions, a restore, and a repair of links.
// The functions that take an object take the one the host already holds.
#pragma once

#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/Export.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dev {

enum class OpenOutcome : std::int32_t {
  Loaded = 0,     // the document was read whole and is valid
  Created = 1,    // there was no document: a default one was written
  Recovered = 2,  // the document was damaged: kept as the backup, a default document replaced it
  GaveUp = 3,     // nothing is loaded: every operation answers false and no file is changed
};

struct OpenReport {
  OpenOutcome outcome = OpenOutcome::GaveUp;
  // Recovered: the message the default document carries (the parse error, its
  // line and column, the parser's reason). GaveUp: what could not be done, with
  // the file and the system's error text. Empty otherwise.
  std::wstring reason;
  // GaveUp: the errno of the file call that failed (0 when none did).
  int systemError = 0;
  // Recovered: the parse error that made the document count as damaged, its
  // place, and its kind in words ("the document breaks the schema", ...).
  std::uint32_t parseError = 0;
  int line = 0, column = 0;
  std::wstring parseErrorKind;
  std::wstring parseErrorText;  // the parser's own words for that first error, one line
  // The schema was (re)written during the opening (read-only: would be).
  bool schemaWritten = false;
  // Opened by OpenXMLFileReadOnly: the outcome is what CreateXMLFile would
  // have done, and nothing was written.
  bool readOnly = false;
  // Why saves keep no versions in "kvoDevice.history" although the history is
  // on (the folder is a link, not a directory, or another user's); empty when
  // it is usable or not there yet.
  std::wstring historyUnusable;
};

// Opens the configuration as CreateXMLFile does, but writes nothing, ever: no
// schema, no default document, no backup, no save (Save answers false; the
// operations work in memory). The document is validated against the schema
// the library would write. A missing document gives the default document in
// memory (outcome Created); one that cannot be read or loaded gives an object
// without a document, whose operations answer false (outcome GaveUp, or
// Recovered with the message a recovery would write). Call Release when done.
KVO_DEVICE_API IDeviceManagerIO* OpenXMLFileReadOnly();

// What CreateXMLFile would do with the files as they are now, without doing
// it: the report of an OpenXMLFileReadOnly. Changes nothing.
KVO_DEVICE_API OpenReport DryRunOpen();

// How the opening of `io` ended. For an object that CreateXMLFile did not make
// (or null): GaveUp with an empty reason. Reads nothing from disk.
KVO_DEVICE_API OpenReport GetOpenReport(const IDeviceManagerIO* io);

// What the document held as the opening of `io` read it, with its findings:
// what ReadDocumentContent would have said of the file at that moment,
// computed from the bytes the opening read, without reading any file again.
// Only an object that OpenXMLFileReadOnly made keeps those bytes; for any
// other object (and null) the content is empty, with `read` false. Changes
// nothing. Never throws.
KVO_DEVICE_API DocumentContent OpenedDocumentContent(const IDeviceManagerIO* io);

struct SaveReport {
  // The last Save (or the save inside RemoveUnit), Refresh or DiscardChanges answered false.
  bool failed = false;
  int systemError = 0;  // the errno of the file call that failed, 0 when none did
  // What failed, with the file and the system's error text. After a success,
  // empty, or what the save could not do beside the write (the replaced
  // version not kept in the history, with why).
  std::wstring reason;
  // The changes of the object that no longer applied when the last save or
  // refresh made them again on another writer's file, in words, with why:
  // "SetUnitText U303x1 Model: U303x1 is no longer listed". They are gone
  // from the object; the save answers true all the same.
  std::vector<std::wstring> dropped;
  // The path of the version the last save (or restore) kept in the history:
  // the document it replaced; empty when it kept none.
  std::wstring kept;
};

// The kind of reason an operation answered false, for a host that acts on it
// (the Python package raises by it); LastFailure says it in words.
enum class Failure : std::int32_t {
  None = 0,          // the last operation answered true
  NoDocument = 1,    // the object holds no document (its opening gave up)
  NotListed = 2,     // the unit, port, link, set, member or driver file named is not there
  Listed = 3,        // the unit, link, set, member or driver file is there already
  InvalidId = 4,     // the invalid key, or a unit id of device 65535
  InvalidText = 5,   // empty where a name is needed, or characters XML cannot hold
  NotSerial = 6,     // the port is not a serial port
  SaveFailed = 7,    // the save could not write (GetLastSaveReport says why)
  ReadOnly = 8,      // the object was opened read-only and writes nothing
  OutOfMemory = 9,   // memory ran out; nothing changed
  Damaged = 10,      // the document's tree is not as the schema has it
};

// Why the last operation of `io` (of any interface: IDeviceManagerIO, the
// editor, Refresh, DiscardChanges, RepairLinks) answered false, in words:
// "U303x0 is listed already". Empty after a true answer, and for null.
// Reads nothing from disk.
KVO_DEVICE_API std::wstring LastFailure(const IDeviceManagerIO* io);
// The same reason as a kind.
KVO_DEVICE_API Failure LastFailureKind(const IDeviceManagerIO* io);

// What the last save, refresh or discard of `io` came to; a save that had
// nothing to write clears it. Reads nothing from disk.
KVO_DEVICE_API SaveReport GetLastSaveReport(const IDeviceManagerIO* io);

// The changes `io` holds that its next save writes, oldest first, one line
// each, in words: `SetUnitText U303x1 Model "Stage 2"`. Empty for an object
// without changes, or not made by this library. Reads nothing from disk.
KVO_DEVICE_API std::vector<std::wstring> PendingChanges(const IDeviceManagerIO* io);

// True when the document file is no longer the one `io` loaded or last wrote
// (another writer saved, an editor rewrote it, a restore, a removal). Looks
// at the file's identity and time stamps; reads its content only when they
// are too recent to tell. Takes no lock, changes nothing.
KVO_DEVICE_API bool IsStale(const IDeviceManagerIO* io);

// Makes the file as it is now the document of `io`, with the changes `io`
// holds made again on it: under the writers' lock (an object opened
// read-only takes none), when the file changed, it is loaded and validated,
// the changes are replayed (the ones that no longer apply are dropped and
// listed in GetLastSaveReport), and they stay pending: nothing is written.
// `changes` (may be null) gets what the host sees differently now. True, with
// no changes, when the file is the one `io` holds. False, with `io` unchanged
// and GetLastSaveReport saying why, when there is no file, it cannot be read
// or locked, or it is damaged (then left as it is: only a save or an opening
// replaces a damaged file, and keeps it as the backup).
KVO_DEVICE_API bool Refresh(IDeviceManagerIO* io, DocumentChanges* changes);

// Forgets the changes `io` holds and loads the file as it is now, so that
// Release writes nothing. False, with the changes kept, when the file cannot
// be loaded (as for Refresh). Writes nothing.
KVO_DEVICE_API bool DiscardChanges(IDeviceManagerIO* io);

// One change that repairing the links makes, or would make.
struct LinkRepair {
  enum class Action : std::int32_t {
    AddUnitSide = 0,        // a port's LinkedUnit whose unit did not link back: the unit gets its side
    AddPortSide = 1,        // a unit's LinkedInterface whose port did not link back: the port gets its side
    RemoveLinkToPort = 2,   // a unit's LinkedInterface naming no port goes
    RemoveLinkToUnit = 3,   // a port's LinkedUnit naming no unit goes
    RemoveSetMember = 4,    // a set's LinkedUnit naming no unit goes
  };
  Action action;
  std::wstring unit, port, set;  // as the document writes them; set: RemoveSetMember only
  int line = 0;                  // of the unit, port or set that changes; 0: not from the file
  std::wstring text;             // the change in one sentence
};

// Makes the links of the document in memory agree on both sides without
// removing anything whose both ends are there: a link on one side only gets
// its other side, from either side; only a link or set membership naming a
// unit or port that is not there goes. A link of a unit whose UnitID is
// malformed, and a link naming such a unit in another spelling (U332x0 for
// U0332x0), is left alone: renaming the unit mends it. `repairs` gets the
// changes in document order. With `apply` they are made, as a change like any
// other (Save writes it); without, nothing changes. False when `io` holds no
// document.
KVO_DEVICE_API bool RepairLinks(IDeviceManagerIO* io, bool apply, std::vector<LinkRepair>& repairs);
// The same, applied; returns how many changes it made, -1 when `io` holds no document.
KVO_DEVICE_API int RepairLinks(IDeviceManagerIO* io);

// The files of a data directory (a path as ssnSetDataDir takes it), named
// here once for the library and its tools.
struct DataDirectoryFiles {
  std::wstring document;  // kvoDevice.xml
  std::wstring schema;    // kvoDevice.xsd, which the library writes
  std::wstring backup;    // kvoDevice.xml.bak: a damaged document, set aside by a recovery
  std::wstring history;   // kvoDevice.history: the folder of replaced versions
  std::wstring lock;      // kvoDevice.lock: the writers' lock
};
KVO_DEVICE_API DataDirectoryFiles FilesOf(const std::wstring& dataDirectory);
inline DataDirectoryFiles FilesOf(std::string_view dataDirectory) { return FilesOf(ToWide(dataDirectory, true)); }

// The schema the library writes as kvoDevice.xsd, byte for byte. Writes nothing.
KVO_DEVICE_API std::string SchemaText();

// How many versions a save keeps in the history: KVO_HISTORY when it is a
// decimal number, else 20; 0 means the history is off.
KVO_DEVICE_API std::size_t HistoryKeep();

// One replaced version of the document, kept in "kvoDevice.history".
enum class HistoryReason : std::int32_t { Save = 0, Recovery = 1, Restore = 2 };

struct HistoryVersion {
  std::wstring path;
  std::wstring time;    // UTC, "YYYYMMDDTHHMMSS.nnnnnnnnnZ": when it was replaced
  std::wstring reason;  // "save", "recovery" or "restore"
  std::uint64_t size = 0;
  // What names the version for as long as it is kept, whatever is kept or
  // dropped after it: its time, with "-2", "-3", ... for a second one kept in
  // the same nanosecond. Any prefix that no other version's id starts with
  // names it too (see FindHistoryVersion); its place in the list shifts.
  std::wstring id;
  std::int64_t timeNs = 0;  // the time, in nanoseconds since 1970-01-01 UTC
  HistoryReason why = HistoryReason::Save;
};

// The versions kept for the data directory's document, oldest first. Reads
// only the folder.
KVO_DEVICE_API std::vector<HistoryVersion> ListHistory();

// The index in `versions` of the one whose id is `id`, or the only one whose
// id starts with it; -1 when none does, -2 when more than one does.
KVO_DEVICE_API long FindHistoryVersion(const std::vector<HistoryVersion>& versions, const std::wstring& id);

// The shortest prefix of `versions[index]`'s id, at least the whole second
// ("20261206T132301"), that names it among `versions` alone.
KVO_DEVICE_API std::wstring ShortHistoryId(const std::vector<HistoryVersion>& versions, std::size_t index);

// Puts the document file at `version` (a version from the history, or any
// copy) back as the data directory's document, under the writers' locks: it
// must be a readable, valid regular file; an entry of the history is never
// read through a link. The current document is kept in the history first
// (reason "restore"); when it cannot be kept (the history is off, or not
// usable), nothing is restored. The new file keeps the document's
// permissions. An object open meanwhile merges its changes into it when it
// saves. False, with `report` saying why, when nothing was changed.
KVO_DEVICE_API bool RestoreXMLFile(const std::wstring& version, SaveReport* report);
// The same for a path in the file system's bytes (see ToWide).
inline bool RestoreXMLFile(std::string_view version, SaveReport* report) {
  return RestoreXMLFile(ToWide(version, true), report);
}

// Whether restoring `version` would show its content to users who cannot
// read it now: when the document it becomes is readable by more users, says
// so, naming the version's owner and mode and the document's; empty
// otherwise. Ask before restoring a file from outside the history. Changes nothing.
KVO_DEVICE_API std::wstring RestoreExposure(const std::wstring& version);
inline std::wstring RestoreExposure(std::string_view version) { return RestoreExposure(ToWide(version, true)); }

}  // namespace dev
