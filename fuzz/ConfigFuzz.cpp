// Arbitrary bytes as kvoDevice.xml: open, read with every read operation,
// release. Afterwards the backup, when one was made, holds the input (its
// bytes, or its parsed content when it was well-formed), and the document
// loads cleanly: the input itself, or the new default document. Anything else
// is a finding.
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/xml/Dom.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
}

bool Loads(const fs::path& path, bool validate) {
  platform::xml::Document document = platform::xml::Document::Create();
  document.SetValidateOnParse(validate);
  return document.Load(path.wstring());
}

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

const fs::path& DataDir() {
  static const fs::path dir = [] {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path made = base / ("kvo-fuzz-config-" + std::to_string(::getpid()));
    fs::create_directories(made);
    ssnSetDataDir(made.wstring().c_str());
    return made;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& dir = DataDir();
  const fs::path document = dir / "kvoDevice.xml", backup = dir / "kvoDevice.xml.bak", input = dir / "input.xml";
  fs::remove(backup);
  Write(document, data, size);
  Write(input, data, size);

  // What a repair tool reads of the same bytes: findings in line order, whatever the bytes.
  const dev::DocumentContent content = dev::ReadDocumentContent(input.wstring());
  Require(std::is_sorted(content.findings.begin(), content.findings.end(),
                         [](const dev::Finding& a, const dev::Finding& b) { return a.line < b.line; }),
          "the findings are in line order");

  dev::IDeviceManagerIO* io = dev::CreateXMLFile();
  std::vector<dev::UnitKey> units;
  io->GetUnitList(units, false);
  for (const dev::UnitKey& unit : units) {
    io->ExistsUnit(unit);
    std::vector<dev::PortAddress> ports;
    io->GetUnitPorts(unit, ports);
  }
  io->GetUnitList(units, true);
  std::set<std::wstring> files;
  io->GetDriverFiles(files);
  io->Release();

  if (fs::exists(backup)) {
    const std::string kept = Read(backup);
    Require(kept == Read(input) || (Loads(input, false) && Loads(backup, false)),
            "the backup holds the input, or its parsed content");
  }
  Require(Loads(document, true), "the document loads cleanly at the next start");
  return 0;
}
