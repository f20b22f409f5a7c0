// The documents the configuration benchmarks open: one data directory per
// size, made once per run and removed at its end.
#pragma once

#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace kvobench {

namespace fs = std::filesystem;

// The key of unit `i` of a document of DataDir.
inline dev::UnitKey KeyOf(int i, int units) {
  const int n = i % units;
  return {static_cast<std::uint16_t>(100 + n % 400), static_cast<std::uint16_t>(n)};
}

// A data directory holding a document of `units` units, each with a model, a
// name, a serial number and a link to a port of its own ("COM<i+1>"), and
// one set "set<k>" per ten units, with those ten as members.
inline const fs::path& DataDir(int units) {
  static std::map<int, fs::path> dirs;
  auto [it, added] = dirs.try_emplace(units);
  if (!added) return it->second;
  it->second = fs::temp_directory_path() / ("kvo-bench-config-" + std::to_string(units));
  fs::remove_all(it->second);
  fs::create_directories(it->second);
  std::ofstream out(it->second / "kvoDevice.xml");
  const auto id = [units](int i) {
    return dev::ToUtf8(dev::FormatUnitId(KeyOf(i, units))).value_or("");
  };
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\">\n  <UnitList>\n";
  for (int i = 0; i < units; ++i)
    out << "    <Unit UnitID=\"" << id(i) << "\"><Model>Model " << i % 17 << "</Model><UnitName>Unit " << i
        << "</UnitName><SerialNo>SN" << 100000 + i << "</SerialNo><LinkedInterface ItemID=\"COM" << i + 1
        << "\"/></Unit>\n";
  out << "  </UnitList>\n  <Interfaces><Serial>\n";
  for (int i = 0; i < units; ++i) out << "    <ComPort PortNo=\"COM" << i + 1 << "\"><LinkedUnit ItemID=\"" << id(i) << "\"/></ComPort>\n";
  out << "  </Serial></Interfaces>\n  <Sets><ActiveSet Name=\"set0\"/>\n";
  for (int set = 0; set * 10 < units; ++set) {
    out << "    <Set Name=\"set" << set << "\"><Comment>ten units</Comment>";
    for (int i = set * 10; i < std::min(units, set * 10 + 10); ++i) out << "<LinkedUnit ItemID=\"" << id(i) << "\"/>";
    out << "</Set>\n";
  }
  out << "  </Sets>\n</Devices>\n";
  out.close();
  ssnSetDataDir(it->second.wstring().c_str());
  dev::CreateXMLFile()->Release();  // writes the schema beside it
  return it->second;
}

inline void RemoveDataDirs() {
  for (const char* size : {"10", "100", "1000", "10000"})
    fs::remove_all(fs::temp_directory_path() / ("kvo-bench-config-" + std::string(size)));
}

struct Releaser {
  void operator()(dev::IDeviceManagerIO* io) const { io->Release(); }
};
using Config = std::unique_ptr<dev::IDeviceManagerIO, Releaser>;

// A configuration object on a scratch copy of DataDir(units): its release
// saves what the calls changed, and the copy goes with the object.
class ScratchConfig {
 public:
  explicit ScratchConfig(int units) : scratch_(fs::temp_directory_path() / "kvo-bench-config-scratch") {
    fs::remove_all(scratch_);
    fs::copy(DataDir(units), scratch_);
    ssnSetDataDir(scratch_.wstring().c_str());
    config_.reset(dev::CreateXMLFile());
  }
  ~ScratchConfig() {
    config_.reset();
    fs::remove_all(scratch_);
  }
  dev::IDeviceManagerIO& io() { return *config_; }
  dev::IDeviceEditor& editor() { return *dev::GetDeviceEditor(config_.get()); }

 private:
  fs::path scratch_;
  Config config_;
};

}  // namespace kvobench
