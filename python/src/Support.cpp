#include "Support.h"

#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/Text.h>

#include <bit>
#include <cstring>

namespace kvopy {
namespace {

static_assert(sizeof(wchar_t) == 4, "the library's wide text is UTF-32");
constexpr int kNativeOrder = std::endian::native == std::endian::little ? -1 : 1;
const char* const kNativeUtf32 = std::endian::native == std::endian::little ? "utf-32-le" : "utf-32-be";

Errors errors;

py::str Decode(const std::wstring& text, const char* onError) {
  int order = kNativeOrder;
  PyObject* decoded = PyUnicode_DecodeUTF32(reinterpret_cast<const char*>(text.data()),
                                            static_cast<Py_ssize_t>(text.size() * sizeof(wchar_t)), onError, &order);
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

std::wstring Repr(py::handle value) { return py::repr(value).cast<std::wstring>(); }

std::uint16_t Number16(py::handle value, py::handle whole) {
  const long number = value.cast<long>();
  if (number < 0 || number > 65535)
    Raise(errors.invalidId, L"not a unit id (device and index are 0 to 65535): " + Repr(whole));
  return static_cast<std::uint16_t>(number);
}

}  // namespace

const Errors& ErrorClasses() { return errors; }

void MakeErrorClasses(py::module_& m) {
  const py::object type = py::module_::import("builtins").attr("type");
  const auto make = [&](const char* name, py::tuple bases, const char* doc, py::dict extra = py::dict()) {
    extra["__doc__"] = doc;
    extra["__module__"] = "kvodevice";
    py::object cls = type(name, bases, extra);
    m.attr(name) = cls;
    return cls.release();
  };
  errors.error = make("Error", py::make_tuple(py::handle(PyExc_Exception)),
                      "Base class of every error kvodevice raises: an operation the library refused, in its words.");
  const py::tuple base = py::make_tuple(errors.error);
  errors.unitExists = make("UnitExistsError", base,
                           "The unit, link, set, member or driver file is there already (\"U303x0 is listed already\").");
  errors.notListed = make("NotListedError", base,
                          "The unit, port, link, set, member or driver file named is not there (\"U9x9 is not listed\").");
  errors.invalidId = make("InvalidIdError", py::make_tuple(errors.error, py::handle(PyExc_ValueError)),
                          "A unit id or port that does not parse, a unit of device 65535, an empty name or text that "
                          "XML cannot hold. Also a ValueError.");
  py::dict saveExtra;
  saveExtra["errno"] = 0;
  errors.save = make("SaveError", base,
                     "A save or restore could not write. `errno` is the failed file call's error number (0 when no "
                     "file call failed, e.g. the writers' lock stayed held).",
                     saveExtra);
  errors.open = make("OpenError", base,
                     "The opening gave up (the document cannot be read, the schema cannot be written, the damaged "
                     "document cannot be backed up): nothing was loaded and no file was changed.");
}

void Raise(py::handle type, const std::wstring& message, int errorNumber) {
  py::object error = type(Text(message));
  if (type.is(errors.save)) error.attr("errno") = errorNumber;
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

void RaiseFailure(const dev::IDeviceManagerIO* io) {
  const dev::SaveReport report = dev::GetLastSaveReport(io);
  std::wstring message = dev::LastFailure(io);
  if (message.empty()) message = report.reason;
  if (message.empty()) message = L"the library refused the operation";
  switch (dev::LastFailureKind(io)) {
    case dev::Failure::Listed: Raise(errors.unitExists, message);
    case dev::Failure::NotListed: Raise(errors.notListed, message);
    case dev::Failure::InvalidId:
    case dev::Failure::InvalidText: Raise(errors.invalidId, message);
    case dev::Failure::SaveFailed: Raise(errors.save, message, report.systemError);
    case dev::Failure::NoDocument: Raise(errors.open, message);
    default: Raise(errors.error, message);
  }
}

py::str Text(const std::wstring& text) { return Decode(text, "replace"); }
py::str PathText(const std::wstring& path) { return Decode(path, "surrogatepass"); }

std::wstring PathArg(py::handle path) {
  const py::object text = py::module_::import("os").attr("fsdecode")(path);
  const std::string raw = text.attr("encode")(kNativeUtf32, "surrogatepass").cast<py::bytes>();
  std::wstring wide(raw.size() / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), raw.data(), wide.size() * sizeof(wchar_t));
  if (wide.find(L'\0') != std::wstring::npos) throw py::value_error("embedded null character in path");
  return wide;
}

dev::UnitKey KeyArg(py::handle unit) {
  if (py::isinstance<py::str>(unit)) {
    if (const auto key = dev::ParseUnitId(unit.cast<std::wstring>())) return *key;
    Raise(errors.invalidId, L"not a unit id (U<device>x<index>, both 0 to 65535 without leading zeros, e.g. U303x0): " +
                                Repr(unit));
  }
  if (py::isinstance<dev::UnitDetails>(unit)) return unit.cast<const dev::UnitDetails&>().key;
  if (py::isinstance<py::tuple>(unit) && py::len(unit) == 2) {
    const py::tuple pair = py::reinterpret_borrow<py::tuple>(unit);
    if (py::isinstance<py::int_>(pair[0]) && py::isinstance<py::int_>(pair[1]))
      return dev::UnitKey{Number16(pair[0], unit), Number16(pair[1], unit)};
  }
  throw py::type_error("a unit is a str such as 'U303x0', a (device, index) pair or a Unit, not " +
                       py::repr(unit).cast<std::string>());
}

dev::PortAddress PortArg(const std::wstring& port) {
  if (const auto address = dev::ParsePort(port)) return *address;
  Raise(errors.invalidId, L"not a serial port (COM<number>, e.g. COM3): " + Repr(py::cast(port)));
}

dev::id DeviceArg(long device) {
  if (device < 0 || device > 65535)
    Raise(errors.invalidId, L"not a device number (0 to 65535): " + std::to_wstring(device));
  return static_cast<dev::id>(device);
}

std::wstring PortText(const dev::PortAddress& port) { return dev::FormatPort(port); }

std::vector<std::wstring> IdTexts(const std::vector<dev::UnitKey>& keys) {
  std::vector<std::wstring> ids;
  for (const dev::UnitKey& key : keys) ids.push_back(dev::FormatUnitId(key));
  return ids;
}

void UseDataDir(const std::optional<FsPath>& dataDir) {
  if (dataDir) ssnSetDataDir(dataDir->path.c_str());
}

void MakeValueClass(py::handle cls, std::vector<std::string> fields) {
  cls.attr("__module__") = "kvodevice";
  py::setattr(cls, "__repr__",
              py::cpp_function(
                  [fields](py::object self) {
                    std::string out = py::type::of(self).attr("__name__").cast<std::string>() + "(";
                    for (std::size_t i = 0; i < fields.size(); ++i)
                      out += (i ? ", " : "") + fields[i] + "=" + py::repr(self.attr(fields[i].c_str())).cast<std::string>();
                    return out + ")";
                  },
                  py::name("__repr__"), py::is_method(cls), py::doc("The value with every attribute.")));
  py::setattr(cls, "__eq__",
              py::cpp_function(
                  [fields](py::object self, py::object other) -> py::object {
                    if (!py::type::of(other).is(py::type::of(self))) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                    for (const std::string& field : fields)
                      if (!self.attr(field.c_str()).equal(other.attr(field.c_str()))) return py::bool_(false);
                    return py::bool_(true);
                  },
                  py::name("__eq__"), py::is_method(cls), py::arg("other"), py::doc("Equal when every attribute is.")));
  // Values compare by content but may hold lists: like a list, not hashable.
  cls.attr("__hash__") = py::none();
}

}  // namespace kvopy
