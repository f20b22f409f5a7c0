// One opening of the device configuration through the library, with how the
// opening ended and whether the last save failed.
#pragma once

#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <filesystem>
#include <string>

#include "shared/Report.h"

namespace kvodev {

namespace fs = std::filesystem;

// The files the library keeps in a data directory.
// The files of the data directory `dir`, as the library names them.
struct ConfigFiles {
  explicit ConfigFiles(const fs::path& dir);
  fs::path document, schema, backup, history;
};

// The parse error that the report of a damaged document names, one item a
// line: "parse error: 49 (73: the document is not well-formed XML)", "in
// line: 3 col: 14", the parser's reason. The document gives the number in
// hexadecimal; the words beside it say what kind of damage it is.
std::string ParseMessage(const dev::OpenReport& report);

// A parse error's number as documents write it, with its kind in words:
// "74f (1871: the document breaks the schema)".
std::string ExplainedCode(std::uint32_t code, const std::wstring& kind);

class Configuration {
 public:
  enum class Access {
    ReadOnly,  // writes nothing, ever
    Change,    // opens as a host does: may write the schema, create or recover the document
  };

  // Opens the configuration of the data directory that the library was given.
  // With `announce`, notes on standard error when a Change opening replaced a
  // damaged document (the command's result says the rest).
  Configuration(const std::string& dataDir, Access access, bool announce = true);
  // Releases the library's object, which writes only what was not saved yet.
  ~Configuration();
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;

  dev::IDeviceManagerIO* operator->() { return io_; }
  dev::IDeviceManagerIO* io() { return io_; }
  // The editing interface of the same object (its answers follow the opening's).
  dev::IDeviceEditor& edit() { return *editor_; }
  const ConfigFiles& files() const { return files_; }
  const dev::OpenReport& report() const { return report_; }
  // Why the last Commit's save failed; empty when it did not.
  const std::string& saveFailure() const { return saveFailure_; }
  // Why the operation before the last Commit answered false, in the library's
  // words; empty when it answered true.
  const std::string& failure() const { return failure_; }

  // The document loaded, or there was none (an empty configuration).
  bool loaded() const;
  // The end of a reading command when !loaded(): status NotLoaded, and why.
  Report Unloadable() const;

  // Saves (nothing is written when nothing changed) and returns whether
  // `answer` holds and the save succeeded. For Change commands, before any
  // output that claims the change.
  bool Commit(bool answer);

  // Ends a command whose operation (with its Commit) answered `answer`: on
  // false, status False and why: the opening gave up, else the save failed,
  // else `reason` (nothing when it is empty).
  void Finish(Report& report, bool answer, const std::string& reason) const;

 private:
  void Announce(Access access) const;

  ConfigFiles files_;
  dev::IDeviceManagerIO* io_;
  dev::IDeviceEditor* editor_;
  dev::OpenReport report_;
  std::string saveFailure_;
  std::string failure_;
};

}  // namespace kvodev
