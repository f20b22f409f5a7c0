#include "Configuration.h"

#include <iostream>
#include <vector>

#include "Errors.h"

namespace kvodev {

Configuration::Configuration(const std::string& dataDir, Access access, bool announce)
    : files_(fs::path(dataDir)), access_(access), before_(files_.Now()) {
  io_ = dev::CreateXMLFile();
  afterOpen_ = files_.Now();
  if (announce && Recovered())
    std::cerr << "kvodev: note: " << files_.document.string() << " could not be loaded: it is kept as "
              << files_.backup.string() << ", and a default document that names the reason replaces it\n";
}

Configuration::~Configuration() {
  if (io_ != nullptr) Close();
}

bool Configuration::Created() const {
  return before_.document.kind == FileState::Missing && afterOpen_.document.kind == FileState::Regular;
}

bool Configuration::Recovered() const {
  return before_.document.kind == FileState::Regular && afterOpen_.backup.kind == FileState::Regular &&
         !(afterOpen_.backup == before_.backup);
}

bool Configuration::Usable() {
  if (usable_ < 0) {
    // An opening that gave up leaves the library without a document: it can
    // neither list the units nor save. A document whose unit list is damaged
    // still saves.
    std::vector<dev::UnitKey> units;
    usable_ = io_->GetUnitList(units, false) || io_->Save() ? 1 : 0;
  }
  return usable_ == 1;
}

std::string Configuration::FalseHint() {
  return Usable() ? std::string() : "the configuration could not be opened ('kvodev check' tells why)";
}

int Configuration::Finish(bool answer, const std::string& reason) {
  std::string why = answer ? std::string() : FalseHint();
  if (!answer && why.empty()) why = reason;
  const std::string path = files_.document.string();
  if (!Close() && answer) why = "the document could not be saved: " + path;
  if (!why.empty()) std::cerr << "kvodev: " << why << '\n';
  return answer && why.empty() ? Success : False;
}

bool Configuration::Close() {
  const bool saved = access_ == Access::ReadOnly || io_->Save();
  io_->Release();
  io_ = nullptr;

  // The library writes the document again when its object is released. It
  // writes what it loaded, so a document it wrote itself comes back
  // byte-identical; a document written by hand or by another program may come
  // back reformatted, and listing driver files drops empty entries. A command
  // that only reads must leave the file as it was, so when the document loaded
  // cleanly (it was there, and no backup was made) and its bytes changed, the
  // original bytes go back, atomically. A document the library replaced or
  // created stays as the library wrote it.
  if (access_ == Access::ReadOnly && before_.document.kind == FileState::Regular && !Recovered()) {
    const FileState now = FileState::Of(files_.document);
    std::string error;
    if (now.kind == FileState::Regular && now.bytes != before_.document.bytes &&
        !WriteAtomically(files_.document, before_.document.bytes, error))
      std::cerr << "kvodev: " << error << '\n';
  }
  return saved;
}

}  // namespace kvodev
