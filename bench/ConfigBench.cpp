// The configuration service through its public interface: opening documents
// of 10, 1,000 and 10,000 units against xmllint validating the same files, and
// the cost per call of the operations at 100 and 10,000 units.
#include <benchmark/benchmark.h>
#include <kvodevice/ConfigurationWatch.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/RatioReport.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A data directory per size, holding a document of `units` units, each with a
// model, a name, a serial number and a port link, one port per unit, and one
// set per ten units.
const fs::path& DataDir(int units) {
  static std::map<int, fs::path> dirs;
  auto [it, added] = dirs.try_emplace(units);
  if (!added) return it->second;
  it->second = fs::temp_directory_path() / ("kvo-bench-config-" + std::to_string(units));
  fs::remove_all(it->second);
  fs::create_directories(it->second);
  std::ofstream out(it->second / "kvoDevice.xml");
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\">\n  <UnitList>\n";
  for (int i = 0; i < units; ++i)
    out << "    <Unit UnitID=\"U" << 100 + i % 400 << 'x' << i << "\"><Model>Model " << i % 17 << "</Model><UnitName>Unit "
        << i << "</UnitName><SerialNo>SN" << 100000 + i << "</SerialNo><LinkedInterface ItemID=\"COM" << i + 1
        << "\"/></Unit>\n";
  out << "  </UnitList>\n  <Interfaces><Serial>\n";
  for (int i = 0; i < units; ++i)
    out << "    <ComPort PortNo=\"COM" << i + 1 << "\"><LinkedUnit ItemID=\"U" << 100 + i % 400 << 'x' << i
        << "\"/></ComPort>\n";
  out << "  </Serial></Interfaces>\n  <Sets><ActiveSet Name=\"set0\"/>\n";
  for (int set = 0; set * 10 < units; ++set) {
    out << "    <Set Name=\"set" << set << "\"><Comment>ten units</Comment>";
    for (int i = set * 10; i < std::min(units, set * 10 + 10); ++i)
      out << "<LinkedUnit ItemID=\"U" << 100 + i % 400 << 'x' << i << "\"/>";
    out << "</Set>\n";
  }
  out << "  </Sets>\n</Devices>\n";
  out.close();
  ssnSetDataDir(it->second.wstring().c_str());
  dev::CreateXMLFile()->Release();  // writes the schema beside it
  return it->second;
}

struct Releaser {
  void operator()(dev::IDeviceManagerIO* io) const { io->Release(); }
};
using Config = std::unique_ptr<dev::IDeviceManagerIO, Releaser>;

Config OpenConfig(int units) {
  ssnSetDataDir(DataDir(units).wstring().c_str());
  return Config(dev::CreateXMLFile());
}

void BM_Xmllint(benchmark::State& state) {
  const fs::path& dir = DataDir(static_cast<int>(state.range(0)));
  const std::string schema = (dir / "kvoDevice.xsd").string(), document = (dir / "kvoDevice.xml").string();
  const char* argv[] = {"xmllint", "--noout", "--schema", schema.c_str(), document.c_str(), nullptr};
  posix_spawn_file_actions_t quiet;  // xmllint's "validates" line is not wanted here
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid;
    if (posix_spawnp(&pid, "xmllint", &quiet, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("xmllint not found (Debian package libxml2-utils)");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("xmllint rejected the document");
  }
  posix_spawn_file_actions_destroy(&quiet);
}

void BM_Open(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  DataDir(units);
  for (auto _ : state) {
    Config config = OpenConfig(units);
    state.PauseTiming();
    std::vector<dev::UnitKey> keys;
    if (!config->GetUnitList(keys, false) || keys.size() != static_cast<std::size_t>(units))
      state.SkipWithError("the document did not load");
    config.reset();  // its release writes the file, which is not what is measured
    state.ResumeTiming();
  }
}

// One call per iteration on an open document of range(0) units.
template <typename Call>
void PerCall(benchmark::State& state, Call call) {
  const int units = static_cast<int>(state.range(0));
  // A scratch copy: the release at the end saves what the calls changed.
  const fs::path scratch = fs::temp_directory_path() / "kvo-bench-config-scratch";
  fs::remove_all(scratch);
  fs::copy(DataDir(units), scratch);
  ssnSetDataDir(scratch.wstring().c_str());
  Config config(dev::CreateXMLFile());
  int i = 0;
  for (auto _ : state) call(*config, units, i++);
  config.reset();
  fs::remove_all(scratch);
  state.SetLabel(std::to_string(units) + " units");
}

dev::UnitKey KeyOf(int i, int units) {
  const int n = i % units;
  return {static_cast<std::uint16_t>(100 + n % 400), static_cast<std::uint16_t>(n)};
}

void BM_ExistsUnit(benchmark::State& state) {
  PerCall(state, [](dev::IDeviceManagerIO& io, int units, int i) { benchmark::DoNotOptimize(io.ExistsUnit(KeyOf(i, units))); });
}

void BM_GetUnitList(benchmark::State& state) {
  PerCall(state, [](dev::IDeviceManagerIO& io, int, int) {
    std::vector<dev::UnitKey> keys;
    benchmark::DoNotOptimize(io.GetUnitList(keys, true));
  });
}

void BM_GetUnitPorts(benchmark::State& state) {
  PerCall(state, [](dev::IDeviceManagerIO& io, int units, int i) {
    std::vector<dev::PortAddress> ports;
    benchmark::DoNotOptimize(io.GetUnitPorts(KeyOf(i, units), ports));
  });
}

// Adds a new unit, and removes it again untimed so that the document keeps its size.
void BM_AddUnit(benchmark::State& state) {
  PerCall(state, [&state](dev::IDeviceManagerIO& io, int, int i) {
    const dev::UnitKey key{60000, static_cast<std::uint16_t>(i)};
    benchmark::DoNotOptimize(io.AddUnit(key));
    state.PauseTiming();
    io.RemoveUnit(key);
    state.ResumeTiming();
  });
}

// Removes existing units, with their set memberships, and adds each back so
// that the document keeps its size.
void BM_RemoveUnit(benchmark::State& state) {
  PerCall(state, [&state](dev::IDeviceManagerIO& io, int units, int i) {
    const dev::UnitKey key = KeyOf(i, units);
    benchmark::DoNotOptimize(io.RemoveUnit(key));
    state.PauseTiming();
    io.AddUnit(key);
    state.ResumeTiming();
  });
}

// Save after one change: a unit added or removed, untimed, before each save.
void BM_Save(benchmark::State& state) {
  PerCall(state, [&state](dev::IDeviceManagerIO& io, int, int i) {
    state.PauseTiming();
    const dev::UnitKey key{60000, 0};
    i % 2 == 0 ? io.AddUnit(key) : io.RemoveUnit(key);
    state.ResumeTiming();
    benchmark::DoNotOptimize(io.Save());
  });
}

// From the rename that replaces the document to a host's poll on the watch
// descriptor returning and Changed() answering; the median and the worst.
void BM_WatchWakeUp(benchmark::State& state) {
  const fs::path dir = DataDir(100), document = dir / "kvoDevice.xml", copy = dir / "copy.xml";
  ssnSetDataDir(dir.wstring().c_str());
  dev::IConfigurationWatch* watch = dev::WatchConfiguration();
  std::vector<double> delays;
  for (auto _ : state) {
    fs::copy_file(document, copy, fs::copy_options::overwrite_existing);
    std::chrono::steady_clock::time_point woke;
    std::thread host([&] {
      pollfd ready{watch->Descriptor(), POLLIN, 0};
      while (::poll(&ready, 1, -1) == 1 && !watch->Changed()) {
      }
      woke = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the host waits in poll
    const auto renamed = std::chrono::steady_clock::now();
    fs::rename(copy, document);
    host.join();
    delays.push_back(std::chrono::duration<double>(woke - renamed).count());
    state.SetIterationTime(delays.back());
  }
  watch->Release();
  std::sort(delays.begin(), delays.end());
  state.counters["median_us"] = delays[delays.size() / 2] * 1e6;
  state.counters["worst_us"] = delays.back() * 1e6;
}

}  // namespace

BENCHMARK(BM_WatchWakeUp)->Iterations(100)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Xmllint)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExistsUnit)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddUnit)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetUnitList)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RemoveUnit)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetUnitPorts)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Save)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string size : {"10", "1000", "10000"})
    kvobench::RunAndCompare("BM_(Xmllint|Open)/" + size + "$", "BM_Xmllint/" + size, {"BM_Open/" + size}, 1.3);
  kvobench::RunAndCompare("BM_(ExistsUnit|AddUnit|GetUnitList|RemoveUnit|GetUnitPorts|Save)/", "", {}, 0);
  kvobench::RunAndCompare("BM_WatchWakeUp", "", {}, 0);
  benchmark::Shutdown();
  for (const char* size : {"10", "1000", "10000"})
    fs::remove_all(fs::temp_directory_path() / ("kvo-bench-config-" + std::string(size)));
}
