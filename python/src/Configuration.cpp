// The configuration object: units, links, driver files and sets, saved and
// refreshed, as a context manager.
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/Text.h>

#include <optional>
#include <set>
#include <utility>

#include "Support.h"

namespace kvopy {
namespace {

class Configuration {
 public:
  Configuration(const std::optional<FsPath>& dataDir, bool readOnly) : readOnly_(readOnly) {
    UseDataDir(dataDir);
    dataDir_ = ssnGetDataDir(1);
    dev::IDeviceManagerIO* io = nullptr;
    {
      // An opening may wait for another writer's lock; other threads go on meanwhile.
      py::gil_scoped_release unlocked;
      io = readOnly ? dev::OpenXMLFileReadOnly() : dev::CreateXMLFile();
    }
    const dev::OpenReport report = dev::GetOpenReport(io);
    if (report.outcome == dev::OpenOutcome::GaveUp) {
      io->Release();  // holds no document, so it writes nothing
      Raise(ErrorClasses().open, report.reason);
    }
    io_ = io;
    editor_ = dev::GetDeviceEditor(io);
  }
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;
  ~Configuration() { Close(); }

  dev::IDeviceManagerIO* io() const {
    if (io_ == nullptr) Raise(ErrorClasses().error, L"the configuration is closed");
    return io_;
  }
  dev::IDeviceEditor* editor() const {
    io();
    return editor_;
  }
  void Check(bool answered) const { kvopy::Check(io_, answered); }

  bool Closed() const { return io_ == nullptr; }
  void Close() {
    if (io_ != nullptr) std::exchange(io_, nullptr)->Release();
  }

  // The with-block's end: saves, or forgets the changes when it ended by an
  // exception; releases the object either way, once.
  void Exit(bool normally) {
    if (Closed()) return;  // closed inside the block: nothing left to save or discard
    struct Closing {
      Configuration& owner;
      ~Closing() { owner.Close(); }
    } closing{*this};
    if (!normally)
      dev::DiscardChanges(io());  // the exception on its way out says more than a failed discard
    else if (!readOnly_)          // a read-only object never saves
      Check(io()->Save());
  }

  dev::UnitDetails Unit(const dev::UnitKey& key) const {
    dev::UnitDetails details;
    Check(editor()->GetUnit(key, details));
    return details;
  }

  // One pass; a malformed UnitID lists as the invalid key, U65535x0.
  std::vector<dev::UnitDetails> Units() const {
    std::vector<dev::UnitDetails> units;
    Check(editor()->GetUnits(units, false));
    return units;
  }

  void SetUnit(const dev::UnitKey& key, const py::kwargs& changes) const {
    static const std::pair<const char*, dev::UnitText> kTexts[] = {{"driver", dev::UnitText::Driver},
                                                                   {"model", dev::UnitText::Model},
                                                                   {"name", dev::UnitText::UnitName},
                                                                   {"serial", dev::UnitText::SerialNo}};
    // Every argument is read before the first change, so a wrong one changes nothing.
    std::vector<std::pair<dev::UnitText, std::optional<std::wstring>>> texts;
    std::optional<dev::UnitSetup> setup;
    std::size_t known = 0;
    for (const auto& [name, which] : kTexts)
      if (changes.contains(name)) {
        const py::object value = changes[name];
        texts.emplace_back(which, value.is_none() ? std::nullopt : std::optional(value.cast<std::wstring>()));
        ++known;
      }
    if (changes.contains("setup")) {
      const py::object value = changes["setup"];
      const std::wstring text = value.is_none() ? L"" : value.cast<std::wstring>();
      if (!value.is_none() && text != L"include" && text != L"exclude")
        throw py::value_error("setup is 'include', 'exclude' or None, not " + py::repr(value).cast<std::string>());
      setup = text.empty() ? dev::UnitSetup::Unset : text == L"include" ? dev::UnitSetup::Include : dev::UnitSetup::Exclude;
      ++known;
    }
    if (known != changes.size())
      throw py::type_error("set_unit takes name, model, driver, serial and setup as keyword arguments");
    for (const auto& [which, text] : texts) Check(editor()->SetUnitText(key, which, text ? text->c_str() : nullptr));
    if (setup) Check(editor()->SetUnitSetup(key, *setup));
  }

  void RemoveUnit(const dev::UnitKey& key, bool unlink) const {
    if (unlink) {
      std::vector<dev::PortAddress> ports;
      Check(io()->GetUnitPorts(key, ports));
      for (const dev::PortAddress& port : ports) Check(io_->UnlinkUnitPort(key, port));
    }
    Check(io()->RemoveUnit(key));
  }

  std::vector<std::wstring> Drivers() const {
    std::set<std::wstring> files;
    Check(io()->GetDriverFiles(files));
    return {files.begin(), files.end()};
  }

  std::vector<std::wstring> Sets() const {
    std::vector<std::wstring> names;
    Check(editor()->GetSets(names));
    return names;
  }

  dev::SetDetails Set(const std::wstring& name) const {
    dev::SetDetails details;
    Check(editor()->GetSet(name, details));
    return details;
  }

  std::optional<std::wstring> ActiveSet() const {
    std::wstring name;
    Check(editor()->GetActiveSet(name));
    return name.empty() ? std::nullopt : std::optional(name);
  }

  dev::DocumentChanges Refresh() const {
    dev::DocumentChanges changes;
    Check(dev::Refresh(io(), &changes));
    return changes;
  }

  bool readOnly_;
  std::wstring dataDir_;

 private:
  dev::IDeviceManagerIO* io_ = nullptr;
  dev::IDeviceEditor* editor_ = nullptr;
};

std::optional<std::wstring> Setup(dev::UnitSetup setup) {
  if (setup == dev::UnitSetup::Unset) return std::nullopt;
  return setup == dev::UnitSetup::Include ? L"include" : L"exclude";
}

}  // namespace

void BindConfiguration(py::module_& m) {
  using U = dev::UnitDetails;
  ValueClass<U>(m, "Unit", "A unit as the configuration holds it: a plain value, read from Configuration.units or unit().")
      .get("id", [](const U& u) { return dev::FormatUnitId(u.key); }, "The unit id: \"U303x0\".")
      .get("device", [](const U& u) { return u.key.device; }, "The device number (303).")
      .get("index", [](const U& u) { return u.key.index; }, "The index among units of that device (0).")
      .get("name", &U::name, "The UnitName text, or None when the unit has none.")
      .get("model", &U::model, "The Model text, or None.")
      .get("driver", &U::driver, "The Driver text, or None.")
      .get("serial", &U::serial, "The SerialNo text, or None.")
      .get("setup", [](const U& u) { return Setup(u.setup); }, "\"include\", \"exclude\", or None (counts as included).")
      .get("ports",
           [](const U& u) {
             std::vector<std::wstring> ports;
             for (const dev::PortAddress& port : u.ports) ports.push_back(PortText(port));
             return ports;
           },
           "The serial ports the unit links to, on its side, in document order: [\"COM3\"].");

  using S = dev::SetDetails;
  ValueClass<S>(m, "Set", "A set of units that hosts load together (Configuration.set()).")
      .field("name", &S::name, "The set's name.")
      .field("comment", &S::comment, "Its comment; empty when none.")
      .get("members", [](const S& s) { return IdTexts(s.members); },
           "The member unit ids in document order (U65535x0 for a malformed id).");

  py::class_<Configuration> cls(m, "Configuration", R"doc(The device configuration of a data directory: kvoDevice.xml, opened.

Configuration(data_dir=None, read_only=False)

data_dir: the data directory (str or os.PathLike); it becomes the process's
data directory for later openings too. None keeps the current one (the one
last given, else KVO_DATA_DIR, else $XDG_DATA_HOME/kvoRQ, else
~/.local/share/kvoRQ). read_only: open without ever writing anything (no
schema, no default document, no save).

Changes stay in memory until save(). As a context manager, the block's
normal end saves (SaveError when that fails) and an exception discards
every change; either way the object is then closed. Raises OpenError when
the opening gave up. Methods raise the Error subclass that says why the
library refused; after close() every one raises Error.)doc");
  cls.attr("__module__") = "kvodevice";
  cls.def(py::init<const std::optional<FsPath>&, bool>(), py::arg("data_dir") = py::none(), py::arg("read_only") = false,
          "Opens the configuration of `data_dir` (None: the current data directory).")
      .def(
          "__enter__",
          [](py::object self) {
            self.cast<Configuration&>().io();
            return self;
          },
          "Returns the configuration itself.")
      .def(
          "__exit__", [](Configuration& c, py::handle type, py::handle, py::handle) { c.Exit(type.is_none()); return false; },
          py::arg("exc_type"), py::arg("exc"), py::arg("traceback"),
          "Saves after a normal end (not when read-only), discards after an exception; then closes.")
      .def("close", &Configuration::Close,
           "Releases the object: what is not saved yet is saved now (nothing after discard()). Closing twice is harmless.")
      .def_property_readonly(
          "closed", &Configuration::Closed,
          "True after close().")
      .def_property_readonly("read_only", [](const Configuration& c) { return c.readOnly_; },
                             "Opened read-only: save() raises Error.")
      .def_property_readonly("data_dir", [](const Configuration& c) { return PathText(c.dataDir_); },
                             "The data directory this configuration was opened in, as given.")

      .def_property_readonly("units", &Configuration::Units, "Every unit in document order, a list of Unit.")
      .def(
          "unit", [](const Configuration& c, const UnitId& unit) { return c.Unit(unit.key); }, py::arg("unit"),
          "The Unit `unit` names (\"U303x0\", a (device, index) pair or a Unit). NotListedError when it is not there.")
      .def(
          "__contains__", [](const Configuration& c, const UnitId& unit) { return c.io()->ExistsUnit(unit.key); },
          py::arg("unit"), "`unit in configuration`: whether the unit is listed.")
      .def(
          "add_unit", [](const Configuration& c, const UnitId& unit) { c.Check(c.io()->AddUnit(unit.key)); },
          py::arg("unit"), "Appends a unit (\"U303x0\" or (303, 0)). UnitExistsError when it is listed already.")
      .def(
          "remove_unit",
          [](const Configuration& c, const UnitId& unit, bool unlink) { c.RemoveUnit(unit.key, unlink); },
          py::arg("unit"), py::arg("unlink") = false,
          "Removes a unit and its set memberships. Its port links stay (for a later link repair) unless `unlink` "
          "removes them first, on both sides.")
      .def(
          "set_unit", [](const Configuration& c, const UnitId& unit, const py::kwargs& changes) { c.SetUnit(unit.key, changes); },
          py::arg("unit"),
          "set_unit(unit, *, name=..., model=..., driver=..., serial=..., setup=...)\n\n"
          "Changes the details given as keyword arguments, and only those: a text (None removes it), setup "
          "\"include\", \"exclude\" or None (unset, counts as included). Every argument is checked first.")
      .def(
          "rename_unit", [](const Configuration& c, const std::wstring& old, const UnitId& now) { c.Check(c.editor()->RenameUnit(old, now.key)); },
          py::arg("old"), py::arg("new"),
          "Gives the unit whose UnitID is exactly `old` (a malformed one such as \"U0332x0\" too) the id `new`; "
          "its links and set memberships follow.")
      .def(
          "link", [](const Configuration& c, const UnitId& unit, const PortName& port) { c.Check(c.editor()->LinkUnitPort(unit.key, port.port)); },
          py::arg("unit"), py::arg("port"),
          "Links a unit and a serial port (\"COM3\") on both sides; the port is made when missing.")
      .def(
          "unlink", [](const Configuration& c, const UnitId& unit, const PortName& port) { c.Check(c.io()->UnlinkUnitPort(unit.key, port.port)); },
          py::arg("unit"), py::arg("port"), "Removes the link between a unit and a serial port on both sides.")
      .def(
          "remove_port", [](const Configuration& c, const PortName& port) { c.Check(c.editor()->RemovePort(port.port)); },
          py::arg("port"), "Removes a serial port and every unit's link to it.")

      .def_property_readonly("drivers", &Configuration::Drivers, "The driver file names, sorted.")
      .def(
          "add_driver", [](const Configuration& c, const std::wstring& file) { c.Check(c.io()->AddDriverFile(CString(file))); },
          py::arg("file"), "Adds a driver file; UnitExistsError when one of that name in any letter case is listed.")
      .def(
          "remove_driver", [](const Configuration& c, const std::wstring& file) { c.Check(c.editor()->RemoveDriverFile(file)); },
          py::arg("file"), "Removes the driver file of that name, in any letter case.")
      .def(
          "clear_drivers", [](const Configuration& c) { c.Check(c.io()->ClearDriverFiles()); },
          "Removes the whole driver file list.")

      .def_property_readonly("sets", &Configuration::Sets, "The names of the sets, in document order.")
      .def("set", &Configuration::Set, py::arg("name"), "The Set of that name (comment, members). NotListedError when none.")
      .def(
          "create_set",
          [](const Configuration& c, const std::wstring& name, const std::wstring& comment) { c.Check(c.editor()->CreateSet(name, comment)); },
          py::arg("name"), py::arg("comment") = L"", "Creates an empty set; UnitExistsError when one of that name exists.")
      .def(
          "set_comment",
          [](const Configuration& c, const std::wstring& name, const std::wstring& comment) { c.Check(c.editor()->SetSetComment(name, comment)); },
          py::arg("name"), py::arg("comment"), "Changes a set's comment (\"\" clears it).")
      .def(
          "rename_set", [](const Configuration& c, const std::wstring& old, const std::wstring& now) { c.Check(c.editor()->RenameSet(old, now)); },
          py::arg("old"), py::arg("new"), "Renames a set; its members, comment and the active set follow.")
      .def(
          "delete_set", [](const Configuration& c, const std::wstring& name) { c.Check(c.editor()->DeleteSet(name)); },
          py::arg("name"), "Deletes a set; when it was the active set, none is active.")
      .def(
          "add_to_set", [](const Configuration& c, const std::wstring& name, const UnitId& unit) { c.Check(c.editor()->AddSetMember(name, unit.key)); },
          py::arg("name"), py::arg("unit"), "Makes a listed unit a member of the set.")
      .def(
          "remove_from_set",
          [](const Configuration& c, const std::wstring& name, const UnitId& unit) { c.Check(c.editor()->RemoveSetMember(name, unit.key)); },
          py::arg("name"), py::arg("unit"), "Takes a unit out of the set.")
      .def_property(
          "active_set", &Configuration::ActiveSet,
          [](const Configuration& c, const std::optional<std::wstring>& name) { c.Check(c.editor()->SetActiveSet(name.value_or(L""))); },
          "The name of the set hosts load, or None. Assign a set's name to choose it, None or \"\" for none.")

      .def(
          "save", [](const Configuration& c) { c.Check(c.io()->Save()); },
          "Writes the changes (merged with other writers' saves). SaveError when the file cannot be written or the "
          "writers' lock stays held; last_save_report.dropped names own changes that no longer applied.")
      .def("refresh", &Configuration::Refresh,
           "Loads the file as another writer left it and makes this object's changes again on it, writing "
           "nothing; returns the DocumentChanges the host sees. Own changes that no longer apply are dropped "
           "(last_save_report.dropped).")
      .def_property_readonly(
          "is_stale", [](const Configuration& c) { return dev::IsStale(c.io()); },
          "True when the file is no longer the one this object loaded or last wrote.")
      .def(
          "discard", [](const Configuration& c) { c.Check(dev::DiscardChanges(c.io())); },
          "Forgets every change and loads the file as it is now, so that close() writes nothing.")
      .def_property_readonly(
          "pending", [](const Configuration& c) { return dev::PendingChanges(c.io()); },
          "What the next save writes, one line each: 'SetUnitText U303x1 Model \"Stage 2\"'.")
      .def_property_readonly(
          "open_report", [](const Configuration& c) { return dev::GetOpenReport(c.io()); },
          "How the opening ended, an OpenReport (loaded, created, recovered with the parse error).")
      .def_property_readonly(
          "last_save_report", [](const Configuration& c) { return dev::GetLastSaveReport(c.io()); },
          "What the last save, refresh or discard came to, a SaveReport.")
      .def("__repr__", [](const Configuration& c) {
        return py::str("<kvodevice.Configuration of {!r}{}>").format(PathText(c.dataDir_), c.readOnly_ ? ", read-only" : "");
      }, "The data directory, and whether the configuration is read-only.");
}

}  // namespace kvopy
