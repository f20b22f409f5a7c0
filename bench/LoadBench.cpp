// Load of an INI file of 10,000 sections, each with every key the store
// reads, against one plain pass that reads the same file and only splits it
// into sections and keys.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/RatioReport.h"
#include "deviceinfo/ExtendedDeviceInfo.h"
#include "host/Profile.h"

namespace {

constexpr int kSections = 10000;

const std::filesystem::path& IniPath() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / "kvo-bench-10000.ini";
    std::ofstream out(p);
    for (int i = 0; i < kSections; ++i) {
      out << "[Camera adapter number " << i << "]\nID=" << 1000 + i << "\nTag=group" << i % 50
          << "\nPosition=" << i % 7 + 1 << "," << i % 3 + 8 << "\nuseShading=" << i % 2
          << "\nuseCustomGrayscale=1\nuseAutoExposure=0\nuseWhitebalance=" << i % 3
          << "\nuseBlackbalance=1\nuseAccumulation=0\nuseSplitting=1\nuseRTCTrigger=" << i % 2 << "\n";
    }
    return p;
  }();
  return path;
}

// A new modification time makes the next Load parse the file again.
void Touch(const std::filesystem::path& path) {
  static long tick = 0;
  const struct timespec when = {1'700'000'000 + ++tick, 0};
  const struct timespec times[2] = {when, when};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void BM_PlainSplitPass(benchmark::State& state) {
  const std::filesystem::path& path = IniPath();
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    std::string text(std::filesystem::file_size(path), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    struct Key {
      std::string_view name, value;
    };
    std::vector<std::string_view> sections;
    std::vector<Key> keys;
    for (std::size_t pos = 0; pos < text.size();) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      const std::string_view line(text.data() + pos, end - pos);
      pos = end + 1;
      if (line.empty()) continue;
      if (line.front() == '[') {
        sections.push_back(line.substr(1, line.find(']') - 1));
      } else {
        const std::size_t equals = line.find('=');
        keys.push_back({line.substr(0, equals), equals == std::string_view::npos ? "" : line.substr(equals + 1)});
      }
    }
    benchmark::DoNotOptimize(sections.data());
    benchmark::DoNotOptimize(keys.data());
  }
  state.counters["sections"] = kSections;
}

// The part of Load that reads and parses the file and lists its sections.
void BM_SectionNamesOnly(benchmark::State& state) {
  const std::filesystem::path& path = IniPath();
  const std::wstring wide = path.wstring();
  std::vector<wchar_t> names(1 << 20);
  for (auto _ : state) {
    state.PauseTiming();
    Touch(path);
    state.ResumeTiming();
    benchmark::DoNotOptimize(GetPrivateProfileSectionNamesW(names.data(), static_cast<std::uint32_t>(names.size()), wide.c_str()));
  }
}

void BM_Load(benchmark::State& state) {
  const std::filesystem::path& path = IniPath();
  const std::wstring wide = path.wstring();
  for (auto _ : state) {
    state.PauseTiming();
    Touch(path);
    auto info = std::make_unique<dev::dynInfo::CExtendedDeviceInfo>();
    state.ResumeTiming();
    info->Load(wide.c_str());
    state.PauseTiming();
    if (info->GetDeviceIDs().size() != kSections) state.SkipWithError("not every section was read");
    info.reset();
    state.ResumeTiming();
  }
  state.counters["sections"] = kSections;
}

}  // namespace

BENCHMARK(BM_PlainSplitPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SectionNamesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kvobench::RunAndCompare("", "BM_PlainSplitPass", {"BM_SectionNamesOnly", "BM_Load"}, 2.0);
  benchmark::Shutdown();
  std::filesystem::remove(IniPath());
}
