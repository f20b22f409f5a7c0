// consumer DATA_DIR [INI_FILE]: the smallest host. Sets up the host services,
// adds a unit to the configuration in DATA_DIR, sees another writer's change
// through the watch descriptor, reads an INI file and asks for a capability.
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/ConfigurationWatch.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <kvodevice/IExtendedDeviceInfo.h>
#include <kvodevice/Version.h>

#include <poll.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Enough for the ASCII paths of this example; a real host decodes UTF-8.
std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: consumer DATA_DIR [INI_FILE]\n", stderr);
    return 2;
  }
  // 1. Host services first: the data directory (and any features).
  ssnSetDataDir(Widen(argv[1]).c_str());
  pkg::setFeatureEnabled(L"ACQ_ENABLE_HDRI", true);

  // 2. The configuration: open, change, release (which saves).
  dev::IDeviceManagerIO* io = dev::CreateXMLFile();
  const bool added = io->AddUnit({303, 0});
  std::vector<dev::UnitKey> units;
  const bool listed = io->GetUnitList(units, false);
  std::printf("added U303x0: %s, units listed: %zu\n", added ? "yes" : "no", listed ? units.size() : 0);

  // 3. Another writer (here a second object) saves while the host holds its
  // own: the watch descriptor becomes readable, as it would in the host's
  // event loop, and a refresh takes the change in, keeping the host's own.
  dev::IConfigurationWatch* watch = dev::WatchConfiguration();
  dev::IDeviceManagerIO* other = dev::CreateXMLFile();
  other->AddUnit({303, 1});
  other->Release();
  pollfd ready{watch != nullptr ? watch->Descriptor() : -1, POLLIN, 0};
  ::poll(&ready, 1, 1000);
  dev::DocumentChanges changes;
  if (watch != nullptr && watch->Changed() && dev::IsStale(io) && dev::Refresh(io, &changes))
    for (const dev::UnitEntry& unit : changes.units.added)
      std::printf("another writer added %ls; still to save: %zu change\n", unit.id.c_str(),
                  dev::PendingChanges(io).size());
  if (watch != nullptr) watch->Release();
  io->Release();

  // 4. Extended device information: load INI files before any query.
  dev::dynInfo::IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();  // owned by the library
  if (info != nullptr && argc > 2) info->Load(Widen(argv[2]).c_str());
  const auto device = static_cast<dev::id>(332);
  std::printf("device 332 shading: %s, HDRI: %s\n",
              dev::dynInfo::IsCamAdapterEnabled(device, tro::cam::Shading) ? "yes" : "no",
              dev::dynInfo::IsCamAdapterEnabled(device, tro::cam::HDRI) ? "yes" : "no");
  // 5. The library loaded, and the headers this program was built with.
  std::printf("kvodevice %s (headers %d.%d.%d)\n", dev::Version(), KVODEVICE_VERSION_MAJOR, KVODEVICE_VERSION_MINOR,
              KVODEVICE_VERSION_PATCH);
  return added && listed ? 0 : 1;
}
