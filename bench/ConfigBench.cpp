// Opening and saving a configuration against libxml2 doing the same work on
// the same file (parsing and validating it; writing it atomically), and how
// soon a watch wakes a host after another writer's save.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <kvodevice/ConfigurationWatch.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchDocuments.h"
#include "bench/RatioReport.h"

namespace {

namespace fs = std::filesystem;
using kvobench::DataDir;

// What a program that reads the file with libxml2 does: parse the schema and
// the document, and validate one against the other.
void BM_LibxmlParseValidate(benchmark::State& state) {
  const fs::path& dir = DataDir(static_cast<int>(state.range(0)));
  const std::string schema = (dir / "kvoDevice.xsd").string(), document = (dir / "kvoDevice.xml").string();
  for (auto _ : state) {
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(schema.c_str());
    xmlSchemaPtr compiled = xmlSchemaParse(parser);
    xmlSchemaValidCtxtPtr validator = xmlSchemaNewValidCtxt(compiled);
    xmlDocPtr doc = xmlReadFile(document.c_str(), nullptr, XML_PARSE_NONET);
    if (doc == nullptr || xmlSchemaValidateDoc(validator, doc) != 0) state.SkipWithError("libxml2 rejected the document");
    xmlFreeDoc(doc);
    xmlSchemaFreeValidCtxt(validator);
    xmlSchemaFree(compiled);
    xmlSchemaFreeParserCtxt(parser);
  }
}

void BM_Open(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  DataDir(units);
  for (auto _ : state) {
    ssnSetDataDir(DataDir(units).wstring().c_str());
    kvobench::Config config(dev::CreateXMLFile());
    state.PauseTiming();
    std::vector<dev::UnitKey> keys;
    if (!config->GetUnitList(keys, false) || keys.size() != static_cast<std::size_t>(units))
      state.SkipWithError("the document did not load");
    config.reset();  // its release writes the file, which is not what is measured
    state.ResumeTiming();
  }
}

// libxml2 writing the same tree as the library saves it: to a new file,
// flushed to the disk, renamed over the old one, the directory flushed.
void BM_LibxmlAtomicSave(benchmark::State& state) {
  const fs::path scratch = fs::temp_directory_path() / "kvo-bench-libxml-save";
  fs::remove_all(scratch);
  fs::copy(DataDir(static_cast<int>(state.range(0))), scratch);
  const std::string path = (scratch / "kvoDevice.xml").string(), temporary = path + ".new";
  xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NOBLANKS);
  const int directory = ::open(scratch.c_str(), O_RDONLY | O_DIRECTORY);
  for (auto _ : state) {
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &bytes, &size, "UTF-8", 1);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || ::write(fd, bytes, static_cast<std::size_t>(size)) != size || ::fsync(fd) != 0) state.SkipWithError("write failed");
    ::close(fd);
    xmlFree(bytes);
    ::rename(temporary.c_str(), path.c_str());
    ::fsync(directory);
  }
  ::close(directory);
  xmlFreeDoc(doc);
  fs::remove_all(scratch);
}

// A save after one change: a unit added or removed, untimed, before each save.
void BM_Save(benchmark::State& state) {
  kvobench::ScratchConfig config(static_cast<int>(state.range(0)));
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const dev::UnitKey key{60000, 0};
    i++ % 2 == 0 ? config.io().AddUnit(key) : config.io().RemoveUnit(key);
    state.ResumeTiming();
    benchmark::DoNotOptimize(config.io().Save());
  }
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
// Compared by their medians: a single run on a shared machine can be off by half.
BENCHMARK(BM_LibxmlParseValidate)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_Open)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_LibxmlAtomicSave)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK(BM_Save)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();

int main(int argc, char** argv) {
  if (kvobench::RunAsAsked(argc, argv)) {
    kvobench::RemoveDataDirs();
    return 0;
  }
  // The goal is for the size where the work is the file's, not the setting up.
  for (const std::string size : {"10", "1000", "10000"})
    kvobench::RunAndCompare("BM_(LibxmlParseValidate|Open)/" + size + "/", "BM_LibxmlParseValidate/" + size,
                            {"BM_Open/" + size}, size == "10000" ? 0.5 : 0);
  // At 100 units a save's fixed work (the lock, keeping the replaced version in
  // the history) is most of it, and libxml2's save does none of that.
  for (const std::string size : {"100", "10000"})
    kvobench::RunAndCompare("BM_(LibxmlAtomicSave|Save)/" + size + "/", "BM_LibxmlAtomicSave/" + size, {"BM_Save/" + size},
                            size == "10000" ? 1.1 : 0);
  kvobench::RunAndCompare("BM_WatchWakeUp", "", {}, 0);
  benchmark::Shutdown();
  kvobench::RemoveDataDirs();
}
