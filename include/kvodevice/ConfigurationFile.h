// The configuration service beyond IDeviceManagerIO, whose slots stay as they
// are: an opening that writes nothing, how an opening ended, and why the last
// save failed. The report functions take the object the host already holds.
#pragma once

#include <kvodevice/Export.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <cstdint>
#include <string>

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
  // The schema was (re)written during the opening.
  bool schemaWritten = false;
  // Opened by OpenXMLFileReadOnly: the outcome is what CreateXMLFile would
  // have done, and nothing was written.
  bool readOnly = false;
};

// Opens the configuration as CreateXMLFile does, but writes nothing, ever: no
// schema, no default document, no backup, no save (Save answers false; the
// operations work in memory). The document is validated against the schema
// the library would write. A missing document gives the default document in
// memory (outcome Created); one that cannot be read or loaded gives an object
// without a document, whose operations answer false (outcome GaveUp, or
// Recovered with the message a recovery would write). Call Release when done.
KVO_DEVICE_API IDeviceManagerIO* OpenXMLFileReadOnly();

// How the opening of `io` ended. For an object that CreateXMLFile did not make
// (or null): GaveUp with an empty reason. Reads nothing from disk.
KVO_DEVICE_API OpenReport GetOpenReport(const IDeviceManagerIO* io);

struct SaveReport {
  bool failed = false;  // the last Save, or the save inside RemoveUnit, answered false
  int systemError = 0;  // the errno of the file call that failed, 0 when none did
  // What failed, with the file and the system's error text; empty after a success.
  std::wstring reason;
};

// Why the last save of `io` failed; a save that had nothing to write, or wrote,
// clears it. Reads nothing from disk.
KVO_DEVICE_API SaveReport GetLastSaveReport(const IDeviceManagerIO* io);

}  // namespace dev
