// The extended device information, and configuration objects, from many
// threads at once. Run under ThreadSanitizer by ./do test --tsan.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

using dev::dynInfo::GetExtendedDeviceInfo;
using dev::dynInfo::IExtendedDeviceInfo;
using dev::dynInfo::IsCamAdapterEnabled;

dev::id Id(unsigned value) { return static_cast<dev::id>(value); }

template <typename Body>
void OnThreads(int count, Body body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < count; ++t) threads.emplace_back(body, t);
  for (std::thread& thread : threads) thread.join();
}

// Racing first calls get one instance, which answers many threads while a feature flips.
TEST(Threads, OneServiceAnswersWhileFeaturesFlip) {
  std::vector<IExtendedDeviceInfo*> seen(8, nullptr);
  OnThreads(8, [&](int t) { seen[static_cast<std::size_t>(t)] = GetExtendedDeviceInfo(); });
  EXPECT_NE(seen[0], nullptr);
  EXPECT_EQ(std::set<IExtendedDeviceInfo*>(seen.begin(), seen.end()).size(), 1u);
  testsupport::TempDir dir;
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "[D" + std::to_string(i) + "]\nID=" + std::to_string(3000 + i) + "\nTag=t" + std::to_string(i % 7) +
            "\nPosition=" + std::to_string(i % 5 + 1) + "\nuseShading=" + std::to_string(i % 2) + "\n";
  const std::wstring file = dir.Write("many.ini", text);
  IExtendedDeviceInfo* service = GetExtendedDeviceInfo();
  ASSERT_EQ(service, seen[0]);
  ASSERT_TRUE(service->Load(file.c_str()));

  std::atomic<bool> stop{false};
  std::thread flipper([&] {
    for (int i = 0; !stop.load(); ++i) pkg::setFeatureEnabled(L"ACQ_ENABLE_HDRI", i % 2 == 0);
  });
  std::vector<int> failures(8, 0);
  OnThreads(8, [&](int t) {
    int& failed = failures[static_cast<std::size_t>(t)];
    for (int round = 0; round < 50; ++round) {
      const std::vector<dev::id> ids = service->GetDeviceIDs();
      failed += std::count_if(ids.begin(), ids.end(), [](dev::id d) { return d >= 3000 && d < 3200; }) != 200;
      failed += service->GetDevicesByTag(L"t3").size() != 29;
      failed += service->GetDevicesAtPosition(1001).size() != 40;
      failed += service->GetSectionName(Id(3199)) != L"D199";
      for (int i = 0; i < 200; ++i) {
        failed += IsCamAdapterEnabled(Id(3000 + i), tro::cam::Shading) != (i % 2 == 1);
        IsCamAdapterEnabled(Id(3000 + i), tro::cam::HDRI);  // follows the flipping feature
      }
    }
  });
  stop = true;
  flipper.join();
  for (const int failed : failures) EXPECT_EQ(failed, 0);
}

// Hosts ask while another thread loads: a device answers as the table does
// until its settings are in, then as they say, and never goes back; a
// section's settings come in together.
TEST(Threads, AnswersWhileAnotherThreadLoads) {
  testsupport::TempDir dir;
  std::string text;  // against the table, which has shading on and black balance off for these devices
  for (int i = 0; i < 300; ++i)
    text += "[L" + std::to_string(i) + "]\nID=" + std::to_string(6000 + i) + "\nuseShading=0\nuseBlackbalance=1\n";
  const std::wstring file = dir.Write("loaded.ini", text);
  IExtendedDeviceInfo* service = GetExtendedDeviceInfo();
  ASSERT_NE(service, nullptr);
  std::atomic<bool> loaded{false};
  std::thread loader([&] {
    for (int round = 0; round < 20; ++round) service->Load(file.c_str());
    loaded = true;
  });
  std::vector<int> failures(4, 0);
  OnThreads(4, [&](int t) {
    std::vector<bool> seen(300, false);
    for (bool last = false; !last;) {
      last = loaded.load();
      for (int i = 0; i < 300; ++i) {
        // Shading first: its key comes first in a section and is read first.
        const bool shadingOff = !IsCamAdapterEnabled(Id(6000 + i), tro::cam::Shading);
        const bool blackOn = IsCamAdapterEnabled(Id(6000 + i), tro::cam::Blackbalance);
        failures[static_cast<std::size_t>(t)] += (shadingOff && !blackOn) + (seen[i] && !shadingOff) + (last && !shadingOff);
        seen[i] = seen[i] || shadingOff;
      }
    }
  });
  loader.join();
  for (const int failed : failures) EXPECT_EQ(failed, 0);
}

// One object per thread, all on one data directory: each save waits for the
// others' and merges with them, so every thread's units are in the file.
TEST(Threads, ObjectsOnOneDirectoryMergeTheirSaves) {
  testsupport::TempDir dir;
  ssnSetDataDir(dir.path().wstring().c_str());
  OnThreads(4, [](int t) {
    for (std::uint16_t i = 0; i < 10; ++i) {
      dev::IDeviceManagerIO* io = dev::CreateXMLFile();
      io->AddUnit({static_cast<std::uint16_t>(t), i});
      io->Release();
    }
  });
  dev::IDeviceManagerIO* io = dev::CreateXMLFile();
  std::vector<dev::UnitKey> units;
  EXPECT_TRUE(io->GetUnitList(units, false));
  EXPECT_EQ(units.size(), 40u);
  io->Release();
  ssnSetDataDir(nullptr);
}

}  // namespace
