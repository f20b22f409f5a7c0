// The configuration service beyond IDeviceManagerIO, whose slots stay as they
// are: an opening that writes nothing, how an opening ended, why the last save
// failed, the history of replaced versions, a restore, and a repair of links.
// The functions that take an object take the one the host already holds.
#pragma once

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

struct SaveReport {
  bool failed = false;  // the last Save, or the save inside RemoveUnit, answered false
  int systemError = 0;  // the errno of the file call that failed, 0 when none did
  // What failed, with the file and the system's error text. After a success,
  // empty, or what the save could not do beside the write (the replaced
  // version not kept in the history, with why).
  std::wstring reason;
};

// Why the last save of `io` failed; a save that had nothing to write, or wrote,
// clears it. Reads nothing from disk.
KVO_DEVICE_API SaveReport GetLastSaveReport(const IDeviceManagerIO* io);

// Makes the links of the document in memory agree with what GetUnitPorts
// answers, which reads the port side: a link on the port side only gets its
// unit side; a link on the unit side only, and a link to a port or unit that
// is not there (set memberships included), goes. A change like any other:
// Save writes it. Returns how many links were added or removed; -1 when `io`
// holds no document.
KVO_DEVICE_API int RepairLinks(IDeviceManagerIO* io);

// One replaced version of the document, kept in "kvoDevice.history".
struct HistoryVersion {
  std::wstring path;
  std::wstring time;    // UTC, "YYYYMMDDTHHMMSS.nnnnnnnnnZ": when it was replaced
  std::wstring reason;  // "save", "recovery" or "restore"
  std::uint64_t size = 0;
};

// The versions kept for the data directory's document, oldest first. Reads
// only the folder.
KVO_DEVICE_API std::vector<HistoryVersion> ListHistory();

// Puts the document file at `version` (a version from the history, or any
// copy) back as the data directory's document, under the writers' locks: it
// must be a readable, valid regular file; an entry of the history is never
// read through a link. The current document is kept in the history first
// (reason "restore"); when it cannot be kept (the history is off, or not
// usable), nothing is restored. The new file keeps the document's
// permissions. An object open meanwhile merges its changes into it when it
// saves. False, with `report` saying why, when nothing was changed.
KVO_DEVICE_API bool RestoreXMLFile(const std::wstring& version, SaveReport* report);

// Whether restoring `version` would show its content to users who cannot
// read it now: when the document it becomes is readable by more users, says
// so, naming the version's owner and mode and the document's; empty
// otherwise. Ask before restoring a file from outside the history. Changes nothing.
KVO_DEVICE_API std::wstring RestoreExposure(const std::wstring& version);

}  // namespace dev
