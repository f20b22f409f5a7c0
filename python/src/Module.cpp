// kvodevice._kvodevice: the compiled module of the kvodevice package.
#include <kvodevice/Host.h>
#include <kvodevice/Version.h>

#include "Support.h"

PYBIND11_MODULE(_kvodevice, m) {
  namespace py = pybind11;
  m.doc() = "The compiled module of kvodevice; import kvodevice instead.";
  kvopy::MakeErrorClasses(m);
  kvopy::BindContent(m);
  kvopy::BindConfiguration(m);
  kvopy::BindWatch(m);
  kvopy::BindCapabilities(m);

  m.def("version", [] { return dev::Version(); }, "The version of libkvodevice.so loaded: \"MAJOR.MINOR.PATCH\".");
  m.def(
      "data_dir", [] { return kvopy::PathText(ssnGetDataDir(1)); },
      "The data directory that configurations opened without data_dir use.");
  m.def(
      "set_data_dir",
      [](const std::optional<kvopy::FsPath>& dir) { ssnSetDataDir(dir ? dir->path.c_str() : nullptr); },
      py::arg("path"),
      "Sets the data directory for configurations, watches and history calls from now on; None goes back to "
      "the default (KVO_DATA_DIR, else $XDG_DATA_HOME/kvoRQ, else ~/.local/share/kvoRQ). Changes nothing on disk.");
}
