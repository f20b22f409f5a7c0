// Unloading the library removes its service from the host's container: a
// second load starts with a new, empty service, and the container never calls
// into code that is gone (which would crash this program at exit).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include "tests/support/TempDir.h"

namespace {

using GetService = dev::dynInfo::IExtendedDeviceInfo* (*)();

struct Library {
  Library() : handle(::dlopen(KVO_DEVICE_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (handle != nullptr) ::dlclose(handle);
  }
  GetService Service() const {
    return reinterpret_cast<GetService>(::dlsym(handle, "_ZN3dev7dynInfo21GetExtendedDeviceInfoEv"));
  }
  void* handle;
};

TEST(Unload, ServiceIsRemovedWhenTheLibraryUnloads) {
  testsupport::TempDir dir;
  const std::wstring file = dir.Write("one.ini", "[One]\nID=1\n");
  {
    const Library library;
    ASSERT_NE(library.handle, nullptr) << ::dlerror();
    ASSERT_NE(library.Service(), nullptr);
    library.Service()()->Load(file.c_str());
    EXPECT_EQ(library.Service()()->GetDeviceIDs().size(), 1u);
  }
  const Library again;
  ASSERT_NE(again.handle, nullptr) << ::dlerror();
  EXPECT_TRUE(again.Service()()->GetDeviceIDs().empty());
}

}  // namespace
