// The store of extended device descriptions: loading INI files and the queries.
#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "deviceinfo/ExtendedDeviceInfo.h"
#include "host/Profile.h"
#include "tests/support/TempDir.h"

namespace {

using dev::dynInfo::CExtendedDeviceInfo;
using dev::dynInfo::PositionEntry;
using Ids = std::vector<dev::id>;
using Positions = std::vector<PositionEntry>;
using Tags = std::vector<std::wstring>;

dev::id Id(unsigned value) { return static_cast<dev::id>(value); }

class ExtendedDeviceInfoTest : public ::testing::Test {
 protected:
  // Loads `text` as one more INI file into the store.
  void Load(std::string_view text) {
    const std::wstring path = dir_.Write("file" + std::to_string(files_++) + ".ini", text);
    EXPECT_TRUE(info_->Load(path.c_str()));
  }
  std::pair<bool, bool> Processing(unsigned device, int type) const {
    bool enabled = false;
    const bool set = info_->GetProcessingEnabled(Id(device), static_cast<tro::cam::eCamProcessingType>(type), enabled);
    return {set, enabled};
  }
  bool Rtc(unsigned device) const {
    bool uses = false;
    EXPECT_TRUE(info_->GetRTCTrigger(Id(device), uses));
    return uses;
  }

  testsupport::TempDir dir_;
  int files_ = 0;
  std::unique_ptr<CExtendedDeviceInfo> info_ = std::make_unique<CExtendedDeviceInfo>();
};

TEST_F(ExtendedDeviceInfoTest, SectionsAreReadByTheirKeysAndRepeatedIdsMerge) {
  Load(
      "[Camera A]\nID=1201\nTag=color\nPosition=3, 5,x,0,-2,3\nuseShading=0\nuseBlackbalance=1\nuseRTCTrigger=1\n"
      "[Camera B]\nID=1202\nTag=Color\nPosition=3 5\nuseShading=2\nuseSplitting=0\nuseRTCTrigger=2\n"
      "[No id]\nTag=lost\nPosition=9\nuseShading=1\n"
      "[Id -1]\nID=-1\nTag=lost\n"
      "[Id 65536]\nID=65536\nTag=zero\n"
      "[Big positions]\nID=1203\nPosition=2147482647,2147482648,2147483647,99999999999,8\n"
      "[Wide]\nID=1204\nTag=\xEF\xBC\xA1\n[Emoji]\nID=1205\nTag=\xF0\x9F\x98\x80\n");
  EXPECT_EQ(info_->GetDeviceIDs(), (Ids{Id(0), Id(1201), Id(1202), Id(1203), Id(1204), Id(1205)}));
  EXPECT_EQ(info_->GetSectionName(Id(1201)), L"Camera A");
  EXPECT_EQ(info_->GetSectionName(Id(0)), L"Id 65536");
  // Tags in UTF-16 order: U+1F600 (D83D DE00) before U+FF21, although its code point is larger.
  EXPECT_EQ(info_->GetTags(), (Tags{L"Color", L"color", L"zero", L"\U0001F600", L"\uFF21"}));
  EXPECT_EQ(info_->GetDevicesByTag(L"color"), Ids{Id(1201)});

  EXPECT_EQ(info_->GetPositions(Id(1201)), (Positions{{1003, 0}, {1005, 0}}));
  EXPECT_EQ(info_->GetPositions(Id(1202)), (Positions{{1003, 0}}));
  EXPECT_EQ(info_->GetDevicesAtPosition(1003), (Ids{Id(1201), Id(1202)}));
  EXPECT_TRUE(info_->GetDevicesAtPosition(3).empty());
  EXPECT_TRUE(info_->GetDevicesAtPosition(1009).empty());
  // Codes beyond 32 bits are dropped, not wrapped into negative codes; a valid one after them still counts.
  EXPECT_EQ(info_->GetPositions(Id(1203)), (Positions{{2147483647, 0}, {1008, 0}}));

  // {device, type, whether a setting is stored, its value}; useShading=2 stores nothing.
  for (const auto& [device, type, set, enabled] :
       {std::tuple{1201u, 2, true, false}, {1201u, 10, true, true}, {1201u, 6, false, false}, {1202u, 2, false, false}, {1202u, 6, true, false}})
    EXPECT_EQ(Processing(device, type), std::make_pair(set, enabled)) << device << " " << type;
  for (const int type : {-1, 3, 32}) EXPECT_FALSE(Processing(1201, type).first) << type;
  bool untouched = true;
  EXPECT_FALSE(info_->GetProcessingEnabled(Id(1201), tro::cam::Whitebalance, untouched));
  EXPECT_TRUE(untouched);
  EXPECT_TRUE(Rtc(1201));
  EXPECT_FALSE(Rtc(1202));

  // Repeated ids merge, within a file and across files.
  Load("[First]\nID=77\nTag=alpha\nPosition=11,12\nuseShading=1\nuseWhitebalance=1\nuseRTCTrigger=1\n");
  Load("[Second]\nID=77\nTag=beta\nPosition=12,13\nuseShading=0\nuseRTCTrigger=0\n"
       "[Third]\nID=77\nTag=alpha\nuseWhitebalance=7\n");
  EXPECT_EQ(info_->GetSectionName(Id(77)), L"Third");
  for (const wchar_t* tag : {L"alpha", L"beta"}) EXPECT_EQ(info_->GetDevicesByTag(tag), Ids{Id(77)}) << tag;
  EXPECT_EQ(info_->GetPositions(Id(77)), (Positions{{1011, 0}, {1012, 0}, {1013, 0}}));
  for (const std::int32_t code : {1012, 1013}) EXPECT_EQ(info_->GetDevicesAtPosition(code), Ids{Id(77)}) << code;
  EXPECT_EQ(Processing(77, 2), std::make_pair(true, false));  // the later 0 overrides the earlier 1
  EXPECT_EQ(Processing(77, 9), std::make_pair(true, true));   // 7 leaves the earlier 1
  EXPECT_TRUE(Rtc(77));                                       // once marked, stays marked
}

// Load reads each file once and its sections directly; the host's INI
// functions, asked for every listed name and key as a host would ask them,
// must find the same ids, names and settings in files whose sections are hard
// to tell apart.
TEST_F(ExtendedDeviceInfoTest, SectionsAreReadAsTheHostFunctionsReadThem) {
  using namespace std::string_literals;
  std::string large = "[Large]\nID=40\n";
  for (int i = 0; i < 30; ++i) large += "Other" + std::to_string(i) + "=1\n";
  large += "USESHADING=1\nuseShading=0\nuseSplitting\nuseSplitting=1\n[large]\nID=41\nuseShading=0\n";
  const std::string texts[] = {
      "[Cam]\nID=1\nuseShading=1\n[CAM]\nID=2\nuseShading=0\n[ cam ]\nID=3\n[Other]\n id = 2 \n useWhitebalance = '1' \n",
      "[ab \0x]\nID=5\nuseBlackbalance=1\n[ab]\nID=6\nuseBlackbalance=0\n[ab\0]\nID=7\n"s,
      large,
      "\xEF\xBB\xBF[\xC3\x84u\xC3\x9F]\nID=8\nuseAccumulation=1\n[\xC3\xA4u\xC3\x9F]\nID=9\n",
  };
  for (const std::string& text : texts) {
    info_ = std::make_unique<CExtendedDeviceInfo>();
    const std::wstring path = dir_.Write("same.ini", text);
    ASSERT_TRUE(info_->Load(path.c_str()));
    std::map<unsigned, std::wstring> names;
    std::map<std::pair<unsigned, int>, bool> settings;
    std::vector<wchar_t> list(1 << 16);
    GetPrivateProfileSectionNamesW(list.data(), static_cast<std::uint32_t>(list.size()), path.c_str());
    for (const wchar_t* name = list.data(); *name != L'\0'; name += std::wcslen(name) + 1) {
      const auto id = static_cast<std::uint16_t>(iniGetInt(name, L"ID", 65535, path.c_str()));
      if (id == 65535) continue;
      names[id] = name;
      for (const dev::dynInfo::ProcessingKey& key : dev::dynInfo::kProcessingKeys)
        if (const int setting = iniGetInt(name, key.key, -1, path.c_str()); setting == 0 || setting == 1)
          settings[{id, key.type}] = setting == 1;
    }
    SCOPED_TRACE(testing::PrintToString(text));
    Ids ids;
    for (const auto& [id, name] : names) {
      ids.push_back(Id(id));
      EXPECT_EQ(info_->GetSectionName(Id(id)), name);
      for (const dev::dynInfo::ProcessingKey& key : dev::dynInfo::kProcessingKeys) {
        const auto setting = settings.find({id, key.type});
        EXPECT_EQ(Processing(id, key.type), setting == settings.end() ? std::pair(false, false) : std::pair(true, setting->second))
            << id << " " << key.type;
      }
    }
    EXPECT_EQ(info_->GetDeviceIDs(), ids);
  }
}

// An empty store, also after files that say nothing, answers empty, and true
// for the RTC trigger of the fixed trigger devices only.
TEST_F(ExtendedDeviceInfoTest, BadFilesLoadAndStoreNothingTheyDoNotSay) {
  const std::string garbage("\x00\xFF\xFE\x01\x80\x9F\xC3(\xE2\x28\xA1\x00\x00]\r\r=\xFF", 18);
  for (const std::string& bad : {std::string(), garbage, std::string("ID=5\nTag=x\n")}) Load(bad);
  const std::wstring directory = dir_.path().wstring();
  EXPECT_TRUE(info_->Load(directory.c_str()));
  EXPECT_TRUE(info_->Load((directory + L"/missing.ini").c_str()));
  EXPECT_TRUE(info_->Load(nullptr));
  EXPECT_TRUE(info_->GetDeviceIDs().empty() && info_->GetTags().empty() && info_->GetPositions(Id(1)).empty());
  EXPECT_EQ(info_->GetSectionName(Id(1)), L"");
  EXPECT_EQ(Processing(303, 2), std::make_pair(false, false));
  const std::vector<unsigned> fixed = {196, 197, 198, 199, 204, 250, 253, 254, 255, 256, 301, 302, 303, 304,
                                       305, 306, 308, 320, 321, 322, 323, 350, 351, 352, 353, 354, 355};
  for (unsigned device = 0; device < 400; ++device)
    EXPECT_EQ(Rtc(device), std::find(fixed.begin(), fixed.end(), device) != fixed.end()) << device;
  EXPECT_FALSE(Rtc(65535));

  // A tag longer than the read buffer keeps its first 255 characters.
  Load("[Long]\nID=13\nTag=" + std::string(100000, 'x') + "\nuseShading=1\n");
  EXPECT_EQ(info_->GetTags(), Tags{std::wstring(255, L'x')});
  EXPECT_EQ(Processing(13, 2), std::make_pair(true, true));
}

}  // namespace
