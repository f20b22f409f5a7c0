// A fresh data directory for the configuration service, and helpers to write
// and read its files.
#pragma once

#include <kvodevice/IDeviceManagerIO.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace testsupport {

struct Releaser {
  void operator()(dev::IDeviceManagerIO* io) const { io->Release(); }
};
using ConfigPtr = std::unique_ptr<dev::IDeviceManagerIO, Releaser>;

class ConfigDir {
 public:
  // Makes the directory the host's data directory until destruction.
  ConfigDir();
  // The same, with `document` as the bytes of its document.
  explicit ConfigDir(const std::string& document) : ConfigDir() { Write("kvoDevice.xml", document); }
  ~ConfigDir();

  ConfigPtr Open() const;
  std::filesystem::path Path(const std::string& name) const { return dir_.path() / name; }
  std::filesystem::path DocumentPath() const { return Path("kvoDevice.xml"); }
  // A document whose element Devices names the schema and holds `body`.
  static std::string Document(const std::string& body);
  void WriteDocument(const std::string& body) const { Write("kvoDevice.xml", Document(body)); }
  void Write(const std::string& name, const std::string& bytes) const { dir_.Write(name, bytes); }
  std::string Read(const std::string& name) const;
  // The saved document as a listing (see XmlListing.h), read without validation.
  std::string Listing(const std::string& name = "kvoDevice.xml") const;
  // The names of the temporary files that saves left.
  std::vector<std::string> Temporaries() const;

 private:
  TempDir dir_;
};

// The unit ids of a document, in order; {"<invalid>"} when it does not load and validate.
std::vector<std::string> UnitIds(const std::filesystem::path& document);

}  // namespace testsupport
