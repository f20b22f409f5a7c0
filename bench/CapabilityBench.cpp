// IsCamAdapterEnabled through the shared library, as a host calls it, with no
// INI loaded and with 1,000 INI devices loaded, against a bare bitset test.
#include <benchmark/benchmark.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <bitset>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/RatioReport.h"

namespace {

struct Query {
  dev::id device;
  tro::cam::eCamProcessingType type;
};

// A fixed mix of devices (table devices and INI devices) and named types.
const std::vector<Query>& Queries() {
  static const std::vector<Query> queries = [] {
    std::mt19937 random(42);
    const int types[] = {2, 4, 6, 7, 9, 10, 11, 16, 24, 31};
    std::vector<Query> out(4096);
    for (Query& q : out) {
      const unsigned device = random() % 2 ? 100 + random() % 300 : 5000 + random() % 1000;
      q = {static_cast<dev::id>(device), static_cast<tro::cam::eCamProcessingType>(types[random() % 10])};
    }
    return out;
  }();
  return queries;
}

void BM_BareBitset(benchmark::State& state) {
  static std::bitset<65536 * 32> bits;  // one bit per device and type
  for (std::size_t i = 0; i < bits.size(); i += 3) bits.set(i);
  const std::vector<Query>& queries = Queries();
  std::size_t i = 0;
  for (auto _ : state) {
    const Query& q = queries[i++ & 4095];
    benchmark::DoNotOptimize(bits.test(static_cast<std::size_t>(q.device) * 32 + static_cast<unsigned>(q.type) % 32));
  }
}

void RunIsCamAdapterEnabled(benchmark::State& state) {
  const std::vector<Query>& queries = Queries();
  std::size_t i = 0;
  for (auto _ : state) {
    const Query& q = queries[i++ & 4095];
    benchmark::DoNotOptimize(dev::dynInfo::IsCamAdapterEnabled(q.device, q.type));
  }
}

void BM_IsCamAdapterEnabled_NoIni(benchmark::State& state) { RunIsCamAdapterEnabled(state); }

void BM_IsCamAdapterEnabled_1000IniDevices(benchmark::State& state) {
  static const bool loaded = [] {
    const auto path = std::filesystem::temp_directory_path() / "kvo-bench-1000.ini";
    {
      std::ofstream out(path);
      for (int i = 0; i < 1000; ++i)
        out << "[Device " << i << "]\nID=" << 5000 + i << "\nTag=t" << i % 10 << "\nuseShading=" << i % 2
            << "\nuseWhitebalance=" << (i + 1) % 2 << "\nuseAccumulation=1\n";
    }
    dev::dynInfo::GetExtendedDeviceInfo()->Load(path.wstring().c_str());
    std::filesystem::remove(path);
    return true;
  }();
  benchmark::DoNotOptimize(loaded);
  RunIsCamAdapterEnabled(state);
}

}  // namespace

// Registered in this order: the INI-free run must come before the load.
BENCHMARK(BM_BareBitset);
BENCHMARK(BM_IsCamAdapterEnabled_NoIni);
BENCHMARK(BM_IsCamAdapterEnabled_1000IniDevices);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kvobench::RunAndCompare("", "BM_BareBitset",
                          {"BM_IsCamAdapterEnabled_NoIni", "BM_IsCamAdapterEnabled_1000IniDevices"}, 5.0);
  benchmark::Shutdown();
}
