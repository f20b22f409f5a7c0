// What the binding files share: the exception classes, the text forms of unit
// ids, ports and paths, and read-only value classes with __repr__ and __eq__.
#pragma once

#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <kvodevice/IExtendedDeviceInfo.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kvopy {

namespace py = pybind11;

// The exception classes, made once when the module loads. Plain handles: the
// interpreter owns them through the module, so nothing is released at exit.
struct Errors {
  py::handle error, unitExists, notListed, invalidId, save, open;
};
const Errors& ErrorClasses();
void MakeErrorClasses(py::module_& m);

// Raises `type` with `message`; a SaveError also carries `errorNumber` as errno.
[[noreturn]] void Raise(py::handle type, const std::wstring& message, int errorNumber = 0);
// Raises the class that matches why the last operation of `io` answered false.
[[noreturn]] void RaiseFailure(const dev::IDeviceManagerIO* io);
inline void Check(const dev::IDeviceManagerIO* io, bool answered) {
  if (!answered) RaiseFailure(io);
}

// Library text as str. Messages turn what is no character into U+FFFD; paths
// keep the U+DC80..U+DCFF stand-ins for undecodable bytes, which Python's
// os.fsencode turns back into those bytes, as the library does.
py::str Text(const std::wstring& text);
py::str PathText(const std::wstring& path);
// A str, bytes or os.PathLike as the library's wide path.
std::wstring PathArg(py::handle path);

// Argument types that read as what they accept in the signatures help()
// shows, and raise InvalidIdError for an id or port that does not parse.
struct UnitId {
  dev::UnitKey key;
};
struct PortName {
  dev::PortAddress port;
};
struct FsPath {
  std::wstring path;
};

// "U303x0", a (device, index) pair or a Unit, as a key; a port "COM3".
dev::UnitKey KeyArg(py::handle unit);
dev::PortAddress PortArg(const std::wstring& port);
dev::id DeviceArg(long device);
std::wstring PortText(const dev::PortAddress& port);
std::vector<std::wstring> IdTexts(const std::vector<dev::UnitKey>& keys);

// ssnSetDataDir for a data_dir argument; None leaves the current one.
void UseDataDir(const std::optional<FsPath>& dataDir);

// Gives a value class its __repr__ ("Unit(id='U303x0', ...)") and __eq__ over
// the named attributes, and places it in the kvodevice package.
void MakeValueClass(py::handle cls, std::vector<std::string> fields);

// A read-only value class, its attributes named as they are added.
template <typename T>
class ValueClass {
 public:
  ValueClass(py::handle scope, const char* name, const char* doc) : cls_(scope, name, doc) {}
  ValueClass(const ValueClass&) = delete;
  ValueClass& operator=(const ValueClass&) = delete;
  ~ValueClass() { MakeValueClass(cls_, std::move(fields_)); }

  template <typename Member>
  ValueClass& field(const char* name, Member T::*member, const char* doc) {
    cls_.def_readonly(name, member, doc);
    fields_.emplace_back(name);
    return *this;
  }
  template <typename Getter>
  ValueClass& get(const char* name, Getter getter, const char* doc) {
    cls_.def_property_readonly(name, getter, doc);
    fields_.emplace_back(name);
    return *this;
  }
  // A property computed from the others: left out of __repr__ and __eq__.
  template <typename Getter>
  ValueClass& also(const char* name, Getter getter, const char* doc) {
    cls_.def_property_readonly(name, getter, doc);
    return *this;
  }
  // A message that may name files: kept readable whatever bytes the names hold.
  ValueClass& text(const char* name, std::wstring T::*member, const char* doc) {
    return get(name, [member](const T& value) { return Text(value.*member); }, doc);
  }
  ValueClass& path(const char* name, std::wstring T::*member, const char* doc) {
    return get(name, [member](const T& value) { return PathText(value.*member); }, doc);
  }

 private:
  py::class_<T> cls_;
  std::vector<std::string> fields_;
};

// The areas of the module, one file each.
void BindContent(py::module_& m);
void BindConfiguration(py::module_& m);
void BindWatch(py::module_& m);
void BindCapabilities(py::module_& m);

}  // namespace kvopy

namespace pybind11::detail {

template <>
struct type_caster<kvopy::UnitId> {
  PYBIND11_TYPE_CASTER(kvopy::UnitId, const_name("str | tuple[int, int] | Unit"));
  bool load(handle src, bool) {
    value.key = kvopy::KeyArg(src);
    return true;
  }
};

template <>
struct type_caster<kvopy::PortName> {
  PYBIND11_TYPE_CASTER(kvopy::PortName, const_name("str"));
  bool load(handle src, bool) {
    if (!isinstance<str>(src)) return false;
    value.port = kvopy::PortArg(src.cast<std::wstring>());
    return true;
  }
};

template <>
struct type_caster<kvopy::FsPath> {
  PYBIND11_TYPE_CASTER(kvopy::FsPath, const_name("str | os.PathLike"));
  bool load(handle src, bool) {
    if (!isinstance<str>(src) && !isinstance<bytes>(src) && !hasattr(src, "__fspath__")) return false;
    value.path = kvopy::PathArg(src);
    return true;
  }
};

}  // namespace pybind11::detail
