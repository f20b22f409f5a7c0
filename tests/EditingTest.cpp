// Editing a configuration through the editor interface: every change is
// saved to a document that still validates, refusals change nothing, and a
// change made in another process meanwhile is merged.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/IDeviceEditor.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "tests/support/ConfigDir.h"

namespace {

using dev::IDeviceEditor;
using dev::UnitKey;
using testsupport::ConfigDir;

const dev::PortAddress kCom3{dev::PortSerial, 3};

TEST(Editing, EveryChangeIsSavedValid) {
  ConfigDir dir;
  dir.WriteDocument("<UnitList><Unit UnitID=\"U1x0\"><SerialNo>7</SerialNo></Unit><Unit UnitID=\"U2x0\"/></UnitList>"
                    "<DriverList><File>Cam.so</File></DriverList>");
  const testsupport::ConfigPtr io = dir.Open();
  IDeviceEditor& edit = *dev::GetDeviceEditor(io.get());
  // Each step: the change, its answer, then the file must still validate.
  const struct {
    const char* what;
    std::function<bool()> change;
    bool answer;
  } steps[] = {
      {"link", [&] { return edit.LinkUnitPort({1, 0}, kCom3); }, true},
      {"link again", [&] { return edit.LinkUnitPort({1, 0}, kCom3); }, false},
      {"link a unit that is not listed", [&] { return edit.LinkUnitPort({9, 0}, kCom3); }, false},
      {"link to a port that is not serial", [&] { return edit.LinkUnitPort({2, 0}, {dev::PortOther, 1}); }, false},
      {"model, before the serial number", [&] { return edit.SetUnitText({1, 0}, dev::UnitText::Model, L"M 1"); }, true},
      {"driver, first", [&] { return edit.SetUnitText({1, 0}, dev::UnitText::Driver, L"cam.so"); }, true},
      {"name, cleared", [&] { return edit.SetUnitText({1, 0}, dev::UnitText::UnitName, nullptr); }, true},
      {"text XML cannot hold", [&] { return edit.SetUnitText({1, 0}, dev::UnitText::Model, L"bell\x07"); }, false},
      {"exclude", [&] { return edit.SetUnitSetup({2, 0}, dev::UnitSetup::Exclude); }, true},
      {"create a set", [&] { return edit.CreateSet(L"day 'one'", L"first"); }, true},
      {"create it again", [&] { return edit.CreateSet(L"day 'one'", L"again"); }, false},
      {"a member", [&] { return edit.AddSetMember(L"day 'one'", {2, 0}); }, true},
      {"the member again", [&] { return edit.AddSetMember(L"day 'one'", {2, 0}); }, false},
      {"a unit that is not listed", [&] { return edit.AddSetMember(L"day 'one'", {9, 0}); }, false},
      {"the comment", [&] { return edit.SetSetComment(L"day 'one'", L"changed"); }, true},
      {"activate", [&] { return edit.SetActiveSet(L"day 'one'"); }, true},
      {"activate a set that is not there", [&] { return edit.SetActiveSet(L"night"); }, false},
      {"remove a driver file in other case", [&] { return edit.RemoveDriverFile(L"cam.SO"); }, true},
      {"link the second unit", [&] { return edit.LinkUnitPort({2, 0}, {dev::PortSerial, 4}); }, true},
      {"remove its port", [&] { return edit.RemovePort({dev::PortSerial, 4}); }, true},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(step.change(), step.answer);
    ASSERT_TRUE(io->Save());
    EXPECT_TRUE(dev::ReadDocumentContent(dir.DocumentPath().wstring()).valid);
  }

  dev::UnitDetails unit;
  ASSERT_TRUE(edit.GetUnit({1, 0}, unit));
  EXPECT_EQ(unit.text[0], L"cam.so");
  EXPECT_EQ(unit.text[1], L"M 1");
  EXPECT_FALSE(unit.has[2]);
  EXPECT_EQ(unit.text[3], L"7");
  ASSERT_EQ(unit.ports.size(), 1u);
  EXPECT_EQ(unit.ports[0].portNumber, 3);
  std::vector<dev::PortAddress> ports;
  EXPECT_TRUE(io->GetUnitPorts({1, 0}, ports));
  EXPECT_EQ(ports.size(), 1u) << "linked on the port side too";
  ASSERT_TRUE(edit.GetUnit({2, 0}, unit));
  EXPECT_EQ(unit.setup, dev::UnitSetup::Exclude);
  EXPECT_TRUE(unit.ports.empty()) << "removing the port removes the unit's link to it";
  dev::SetDetails set;
  ASSERT_TRUE(edit.GetSet(L"day 'one'", set));
  EXPECT_EQ(set.comment, L"changed");
  EXPECT_EQ(set.members, (std::vector<UnitKey>{{2, 0}}));
  std::wstring active;
  EXPECT_TRUE(edit.GetActiveSet(active));
  EXPECT_EQ(active, L"day 'one'");
  std::set<std::wstring> drivers;
  EXPECT_TRUE(io->GetDriverFiles(drivers));
  EXPECT_TRUE(drivers.empty());
  EXPECT_TRUE(dev::ReadDocumentContent(dir.DocumentPath().wstring()).findings.empty());
}

TEST(Editing, AnEditInAnotherProcessIsMerged) {
  ConfigDir dir;
  dir.WriteDocument("<UnitList><Unit UnitID=\"U1x0\"/><Unit UnitID=\"U2x0\"/></UnitList>");
  const testsupport::ConfigPtr held = dir.Open();
  ASSERT_TRUE(dev::GetDeviceEditor(held.get())->LinkUnitPort({1, 0}, kCom3));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dev::IDeviceManagerIO* io = dev::CreateXMLFile();
    const bool edited = dev::GetDeviceEditor(io)->CreateSet(L"night", L"") && io->Save();
    io->Release();
    ::_exit(edited ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(held->Save());
  const dev::DocumentContent content = dev::ReadDocumentContent(dir.DocumentPath().wstring());
  EXPECT_TRUE(content.valid);
  ASSERT_EQ(content.sets.size(), 1u);
  EXPECT_EQ(content.sets[0].name, L"night");
  EXPECT_EQ(content.units[0].ports, std::vector<std::wstring>{L"COM3"});
}

}  // namespace
