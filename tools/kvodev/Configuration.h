// One opening of the device configuration through the library, with what the
// opening did to the files of the data directory.
#pragma once

#include <kvodevice/IDeviceManagerIO.h>

#include <string>

#include "Files.h"

namespace kvodev {

// The files the library keeps in a data directory, and their states.
struct ConfigFiles {
  explicit ConfigFiles(const fs::path& dir)
      : document(dir / "kvoDevice.xml"), schema(dir / "kvoDevice.xsd"), backup(dir / "kvoDevice.xml.bak") {}
  fs::path document, schema, backup;

  struct States {
    FileState document, schema, backup;
  };
  States Now() const { return {FileState::Of(document), FileState::Of(schema), FileState::Of(backup)}; }
};

class Configuration {
 public:
  enum class Access { ReadOnly, Change };

  // Opens the configuration of the data directory that the library was given.
  // With `announce`, says on standard error when the document was replaced.
  Configuration(const std::string& dataDir, Access access, bool announce = true);
  ~Configuration();
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;

  dev::IDeviceManagerIO* operator->() { return io_; }
  const ConfigFiles& files() const { return files_; }
  const ConfigFiles::States& before() const { return before_; }
  const ConfigFiles::States& afterOpen() const { return afterOpen_; }

  // A document that was not there is there now.
  bool Created() const;
  // The document could not be loaded and was kept as the backup.
  bool Recovered() const;
  // False when the opening gave up: nothing is loaded, every operation answers false.
  bool Usable();
  // Why an operation may have answered false besides its own reason, or empty.
  std::string FalseHint();

  // Ends a command whose operation answered `answer`: closes the
  // configuration, and on a false answer (or a failed save) says why on
  // standard error: the configuration could not be opened, else `reason`
  // (nothing when it is empty). Returns the exit status.
  int Finish(bool answer, const std::string& reason);

  // Releases the library's object, which writes the document once more. A
  // change is saved first, and a failed save answers false. Reading commands
  // put back the exact bytes of a document that loaded cleanly (see the .cpp).
  bool Close();

 private:
  ConfigFiles files_;
  Access access_;
  ConfigFiles::States before_;
  ConfigFiles::States afterOpen_;
  dev::IDeviceManagerIO* io_ = nullptr;
  int usable_ = -1;  // unknown until asked
};

}  // namespace kvodev
