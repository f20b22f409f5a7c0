// Seeing the configuration change, and its history of replaced versions.
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/ConfigurationWatch.h>

#include <new>
#include <utility>
#include <variant>

#include "Support.h"

namespace kvopy {
namespace {

class Watch {
 public:
  explicit Watch(const std::optional<FsPath>& dataDir) {
    UseDataDir(dataDir);
    watch_ = dev::WatchConfiguration();
    if (watch_ == nullptr) throw std::bad_alloc();
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  ~Watch() { Close(); }

  dev::IConfigurationWatch& watch() const {
    if (watch_ == nullptr) Raise(ErrorClasses().error, L"the watch is closed");
    return *watch_;
  }
  bool Closed() const { return watch_ == nullptr; }
  void Close() {
    if (watch_ != nullptr) std::exchange(watch_, nullptr)->Release();
  }

 private:
  dev::IConfigurationWatch* watch_ = nullptr;
};

}  // namespace

void BindWatch(py::module_& m) {
  py::class_<Watch> cls(m, "Watch", R"doc(Tells when the configuration of a data directory may have changed.

Watch(data_dir=None)

Starts no thread: register it with the program's event loop (selectors,
select, asyncio's add_reader: it has fileno()), and call changed() when it
is readable. It becomes readable when kvoDevice.xml is replaced, rewritten
or removed by anyone, this process included; the lock file and the history
never make it readable. Where the directory cannot be watched, fileno() is
-1 (system_error says why) and changed() compares the file's identity, for
a program that asks now and then. A context manager: the block's end closes it.)doc");
  cls.attr("__module__") = "kvodevice";
  cls.def(py::init<const std::optional<FsPath>&>(), py::arg("data_dir") = py::none(),
          "Watches the document of `data_dir` (None: the current data directory).")
      .def(
          "fileno", [](const Watch& w) { return w.watch().Descriptor(); },
          "The descriptor to wait on for reading; -1 when the directory cannot be watched.")
      .def(
          "changed", [](const Watch& w) { return w.watch().Changed(); },
          "Drains the descriptor without blocking; True when the document changed since the last call. A program "
          "that saved itself tells its own save apart by Configuration.is_stale.")
      .def_property_readonly(
          "system_error", [](const Watch& w) { return w.watch().SystemError(); },
          "Why fileno() is -1 (an errno); 0 while it watches.")
      .def("close", &Watch::Close, "Stops watching. Closing twice is harmless; afterwards every method raises Error.")
      .def_property_readonly("closed", &Watch::Closed, "True after close().")
      .def(
          "__enter__",
          [](py::object self) {
            self.cast<Watch&>().watch();
            return self;
          },
          "Returns the watch itself.")
      .def(
          "__exit__", [](Watch& w, py::handle, py::handle, py::handle) { w.Close(); return false; },
          py::arg("exc_type"), py::arg("exc"), py::arg("traceback"),
          "Closes the watch.");

  using H = dev::HistoryVersion;
  ValueClass<H>(m, "HistoryVersion", "A version of kvoDevice.xml that a save, a recovery or a restore replaced.")
      .field("id", &H::id, "What names it while it is kept: its time, \"-2\", ... for a second one in the same nanosecond.")
      .path("path", &H::path, "The file in kvoDevice.history.")
      .field("time", &H::time, "When it was replaced, UTC: \"20261208T114326.452754158Z\".")
      .field("time_ns", &H::timeNs, "The same, in nanoseconds since 1970-01-01 UTC.")
      .field("reason", &H::reason, "\"save\", \"recovery\" or \"restore\".")
      .field("size", &H::size, "Its size in bytes.");

  m.def(
      "history",
      [](const std::optional<FsPath>& dataDir) {
        UseDataDir(dataDir);
        return dev::ListHistory();
      },
      py::arg("data_dir") = py::none(),
      "The versions kept in kvoDevice.history of `data_dir` (None: the current data directory), oldest first, "
      "a list of HistoryVersion.");
  m.def(
      "restore",
      [](const std::variant<H, FsPath>& version, const std::optional<FsPath>& dataDir) {
        UseDataDir(dataDir);
        const std::wstring path = version.index() == 0 ? std::get<0>(version).path : std::get<1>(version).path;
        dev::SaveReport report;
        bool restored = false;
        {
          py::gil_scoped_release unlocked;  // waits for the writers' lock
          restored = dev::RestoreXMLFile(path, &report);
        }
        if (!restored) Raise(ErrorClasses().save, report.reason, report.systemError);
        return report;
      },
      py::arg("version"), py::arg("data_dir") = py::none(),
      "Puts `version` (a HistoryVersion, or the path of any document file) back as the document of `data_dir`. "
      "The document it replaces is kept in the history first, so a restore can be undone; returns the SaveReport "
      "whose `kept` names that version. SaveError, with nothing changed, when it is refused.");
}

}  // namespace kvopy
