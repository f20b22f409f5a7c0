// The command-line host kvodev, run as a program in scratch data directories.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/support/Json.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;

struct Result {
  int status;
  std::string out, err;
};

std::string Quoted(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Every file below `dir` with its bytes ("<dir>" for a directory).
std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    files[fs::relative(entry.path(), dir).string()] = entry.is_directory() ? "<dir>" : ReadFile(entry.path());
  return files;
}

// What a rewrite changes even when the bytes stay.
std::pair<ino_t, std::int64_t> Stamp(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return {st.st_ino, std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

class Kvodev : public ::testing::Test {
 protected:
  // Runs kvodev with `--data-dir DIR` (unless `environment` is given) and
  // `args`; "%D" in an argument stands for DIR.
  Result Run(std::vector<std::string> args, const std::string& environment = "") const {
    std::string command = "env -u KVO_FEATURES -u KVO_DATA_DIR -u KVO_HISTORY " + environment;
    command.append(" ").append(Quoted(KVODEV));
    if (environment.empty()) command.append(" --data-dir ").append(Quoted(Dir()));
    for (const std::string& arg : args) command.append(" ").append(Quoted(Expand(arg)));
    command.append(" >").append(Quoted((scratch_.path() / "out").string()));
    command.append(" 2>").append(Quoted((scratch_.path() / "err").string()));
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(scratch_.path() / "out"), ReadFile(scratch_.path() / "err")};
  }
  std::string Dir() const { return data_.path().string(); }
  std::string Expand(std::string text) const {
    for (std::size_t at; (at = text.find("%D")) != std::string::npos;) text.replace(at, 2, Dir());
    return text;
  }
  fs::path Path(const std::string& name) const { return data_.path() / name; }
  std::string Read(const std::string& name) const { return ReadFile(Path(name)); }
  void Write(const std::string& name, const std::string& bytes) const { data_.Write(name, bytes); }
  void UseExample() const { Write("kvoDevice.xml", ReadFile(fs::path(KVO_EXAMPLES) / "kvoDevice.xml")); }

  // Runs each step in order: its exit status, standard output and standard error.
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out, err = "";
  };
  void RunSteps(const std::vector<Step>& steps) const {
    for (const Step& step : steps) {
      const Result result = Run(step.args);
      std::string line;
      for (const std::string& arg : step.args) line += arg + " ";
      EXPECT_EQ(result.status, step.status) << line << "\n" << result.err;
      EXPECT_EQ(result.out, Expand(step.out)) << line;
      EXPECT_EQ(result.err, Expand(step.err)) << line;
    }
  }

  TempDir data_, scratch_;
};

const std::string kUnitsTable = "UNIT     DEVICE  INDEX\nU303x0      303      0\nU303x1      303      1\nU332x0      332      0\n";

TEST_F(Kvodev, ChangesAndListsTheConfiguration) {
  RunSteps({
      {{"check"}, 0, "created %D/kvoDevice.xml: a default document (the data directory held none)\n"
                     "schema written: %D/kvoDevice.xsd\n"},
      {{"check"}, 0, "loaded %D/kvoDevice.xml: 0 units\n"},
      {{"units"}, 0, "no units\n"},
      {{"units", "add", "303", "0"}, 0, "added U303x0\n"},
      {{"units", "add", "303", "0"}, 1, "", "kvodev: U303x0 is listed already\n"},
      {{"units", "add", "65535", "65535"}, 0, "added U65535x65535\n"},
      {{"units"}, 0, "UNIT          DEVICE  INDEX\nU303x0           303      0\nU65535x65535   65535  65535\n"},
      {{"units", "exists", "U65535x65535"}, 0, "U65535x65535 is listed\n"},
      {{"units", "exists", "U303x1"}, 1, "U303x1 is not listed\n"},
      {{"units", "remove", "U303x0"}, 0, "removed U303x0 and its set memberships (its port links stay)\n"},
      {{"units", "remove", "U303x0"}, 1, "",
       "kvodev: U303x0 is not listed (or a set without a name stopped the removal)\n"},
      {{"drivers"}, 0, "no driver files\n"},
      {{"drivers", "add", "it's \"b\".so"}, 0, "added driver file it's \"b\".so\n"},
      {{"drivers", "add", "--", "-a.so"}, 0, "added driver file -a.so\n"},
      {{"drivers", "add", "IT'S \"B\".SO"}, 1, "",
       "kvodev: driver file not added: \"IT'S \"B\".SO\" is listed already (in some letter case), is empty, or holds "
       "characters XML cannot hold\n"},
      {{"drivers"}, 0, "-a.so\nit's \"b\".so\n"},
      {{"drivers", "clear"}, 0, "driver file list cleared\n"},
      {{"drivers"}, 0, "no driver files\n"},
  });
}

TEST_F(Kvodev, PortsAndLinksOfTheExampleConfiguration) {
  UseExample();
  RunSteps({
      {{"units", "--skip-excluded"}, 0, kUnitsTable + "U1201x0    1201      0\n"},
      {{"units"}, 0, kUnitsTable + "U170x0      170      0\nU1201x0    1201      0\n"},
      {{"ports", "U303x0"}, 0, "PORT  TYPE    NUMBER\nCOM3  serial       3\n"},
      {{"ports", "U1201x0"}, 0, "no port links U1201x0\n"},
      {{"unlink", "U303x1", "COM4"}, 1, "",
       "kvodev: U303x1 and COM4 were not linked on both sides (a link on the unit's side alone is removed all the same)\n"},
      {{"unlink", "U303x0", "COM3"}, 0, "unlinked U303x0 and COM3\n"},
      {{"ports", "U303x0"}, 0, "no port links U303x0\n"},
      {{"drivers"}, 0, "adapter332.so\ncamera1201.so\nstage303.so\n"},
      {{"units", "remove", "U332x0"}, 0, "removed U332x0 and its set memberships (its port links stay)\n"},
      {{"ports", "U332x0"}, 0, "PORT  TYPE    NUMBER\nCOM4  serial       4\n"},
  });
  const std::string document = Read("kvoDevice.xml");
  EXPECT_EQ(document.find("<LinkedUnit ItemID=\"U303x0\"/>\n      </ComPort>"), std::string::npos);
  EXPECT_EQ(document.find("<LinkedUnit ItemID=\"U332x0\"/>\n    </Set>"), std::string::npos);
  // What the example and the changes left is valid by the schema kvodev writes.
  ASSERT_EQ(Run({"schema"}).status, 0);
  const std::string validate = "xmllint --noout --schema " + Quoted(Path("kvoDevice.xsd").string()) + " " +
                               Quoted(Path("kvoDevice.xml").string()) + " 2>/dev/null";
  EXPECT_EQ(std::system(validate.c_str()), 0);
}

TEST_F(Kvodev, JsonOutputOfEverySubcommand) {
  UseExample();
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"units", "--skip-excluded"},
       R"({"units":[{"unit":"U303x0","device":303,"index":0},{"unit":"U303x1","device":303,"index":1},)"
       R"({"unit":"U332x0","device":332,"index":0},{"unit":"U1201x0","device":1201,"index":0}],"complete":true})"},
      {{"units", "exists", "U170x0"}, R"({"unit":"U170x0","exists":true})"},
      {{"ports", "U303x1"}, R"({"unit":"U303x1","ports":[{"port":"COM5","type":"serial","number":5}],"complete":true})"},
      {{"drivers", "add", "kamera-\xc3\xbc-\xf0\x9f\x93\xb7\x01.so"}, R"({"file":"kamera-\u00fc-\ud83d\udcf7\u0001.so","added":false})"},
      {{"drivers", "add", "kamera-\xc3\xbc-\xf0\x9f\x93\xb7.so"}, R"({"file":"kamera-\u00fc-\ud83d\udcf7.so","added":true})"},
      {{"drivers"}, R"({"files":["adapter332.so","camera1201.so","kamera-\u00fc-\ud83d\udcf7.so","stage303.so"]})"},
      {{"unlink", "U303x1", "COM5"}, R"({"unit":"U303x1","port":"COM5","unlinked":true})"},
      {{"units", "add", "1", "2"}, R"({"unit":"U1x2","added":true})"},
      {{"units", "remove", "U1x2"}, R"({"unit":"U1x2","removed":true})"},
      {{"drivers", "clear"}, R"({"cleared":true})"},
      {{"check"}, R"({"outcome":"loaded","dataDir":"%D","document":"%D/kvoDevice.xml","schema":"%D/kvoDevice.xsd",)"
                  R"("schemaWritten":false,"backup":null,"message":null,"reason":null,"units":5,"unitListComplete":true,)"
                  R"("dryRun":false,"parseError":null,"backupFile":null,"linksRepaired":null,"historyKept":null,"findings":[]})"},
      {{"--version"}, R"({"version":"0.1.0"})"},
      {{"caps", "--device", "303", "--ini", KVO_EXAMPLES "/positions.ini"},
       R"({"iniFiles":[")" KVO_EXAMPLES R"(/positions.ini"],"service":true,"hdri":false,"types":[{"type":2,"name":"Shading"},)"
       R"({"type":4,"name":"CustomGrayscale"},{"type":6,"name":"Splitting"},{"type":7,"name":"AutoExposure"},)"
       R"({"type":9,"name":"Whitebalance"},{"type":10,"name":"Blackbalance"},{"type":11,"name":"Accumulation"},)"
       R"({"type":16,"name":"HDRI"}],"devices":[{"device":303,"section":"Stage camera 303","known":true,"answers":[)"
       R"({"type":2,"available":false,"iniSetting":null},{"type":4,"available":false,"iniSetting":null},)"
       R"({"type":6,"available":true,"iniSetting":null},{"type":7,"available":true,"iniSetting":null},)"
       R"({"type":9,"available":false,"iniSetting":null},{"type":10,"available":false,"iniSetting":null},)"
       R"({"type":11,"available":false,"iniSetting":null},{"type":16,"available":false,"iniSetting":null}]}]})"},
      {{"ini", "--ini", KVO_EXAMPLES "/positions.ini"},
       R"({"iniFiles":[")" KVO_EXAMPLES R"(/positions.ini"],"devices":[{"device":303,"section":"Stage camera 303",)"
       R"("tags":["stage"],"positions":[1],"rtcTrigger":true,"processing":[]},{"device":1201,)"
       R"("section":"Colour camera 1201, second mount","tags":[],"positions":[4],"rtcTrigger":true,"processing":[]}],)"
       R"("tags":[{"tag":"stage","devices":[303]}],"positions":[{"position":1,"devices":[303]},)"
       R"({"position":4,"devices":[1201]}]})"},
  };
  for (const auto& [args, expected] : cases) {
    std::vector<std::string> withJson = args;
    withJson.push_back("--json");
    const Result result = Run(withJson);
    EXPECT_EQ(result.out, Expand(expected) + "\n") << args[0];
    EXPECT_NO_THROW(testsupport::ParseJson(result.out)) << result.out;
  }
  const Result written = Run({"schema", "--json"});
  EXPECT_EQ(written.out, Expand(R"({"written":"%D/kvoDevice.xsd","bytes":)") + std::to_string(Read("kvoDevice.xsd").size()) +
                             "}\n");
  // A schema as one JSON string is the schema itself.
  const Result schema = Run({"schema", "--print", "--json"});
  EXPECT_EQ(testsupport::ParseJson(schema.out)["schema"].AsString().size(), Read("kvoDevice.xsd").size());
}

TEST_F(Kvodev, BadInputChangesNothingAndNamesTheValue) {
  Write("plain", "a file");
  const std::string unit = "not a unit id (U<device>x<index>, both 0 to 65535 without leading zeros, e.g. U303x0): ";
  const std::string port = "not a serial port (COM<n>, n a 32-bit decimal number, e.g. COM3 or COM-5): ";
  const std::string device = "not a device number (0 to 65535, decimal without leading zeros): ";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"units", "exists", "U303x00"}, unit + "\"U303x00\""},
      {{"units", "exists", "U0303x0"}, unit + "\"U0303x0\""},
      {{"units", "remove", "U65536x0"}, unit + "\"U65536x0\""},
      {{"units", "remove", "u303x0"}, unit + "\"u303x0\""},
      {{"ports", "U303X0"}, unit + "\"U303X0\""},
      {{"ports", "U303x"}, unit + "\"U303x\""},
      {{"ports", "U-1x0"}, unit + "\"U-1x0\""},
      {{"unlink", "COM3", "U303x0"}, unit + "\"COM3\""},
      {{"unlink", "U303x0", "COM"}, port + "\"COM\""},
      {{"unlink", "U303x0", "com3"}, port + "\"com3\""},
      {{"unlink", "U303x0", "COM03"}, port + "\"COM03\""},
      {{"unlink", "U303x0", "COM-0"}, port + "\"COM-0\""},
      {{"unlink", "U303x0", "COM+3"}, port + "\"COM+3\""},
      {{"unlink", "U303x0", "COM2147483648"}, port + "\"COM2147483648\""},
      {{"unlink", "U303x0", "COM-2147483649"}, port + "\"COM-2147483649\""},
      {{"units", "add", "0303", "0"}, device + "\"0303\""},
      {{"units", "add", "303", "65536"}, "not a unit index (0 to 65535, decimal without leading zeros): \"65536\""},
      {{"caps", "--device", "-1"}, device + "\"-1\""},
      {{"caps", "--ini", "%D/missing.ini"}, "INI file not found: \"%D/missing.ini\""},
      {{"ini", "--ini", "%D"}, "INI file is not a regular file: \"%D\""},
      {{"--data-dir", "%D/missing", "units"}, "the data directory does not exist: \"%D/missing\""},
      {{"--data-dir", "%D/plain", "caps"}, "the data directory is not a directory: \"%D/plain\""},
      {{"drivers", "add", "bad\xff.so"}, "the driver file name is not UTF-8: \"bad\xff.so\""},
      {{"units", "add", "303"}, "missing operands: usage: kvodev units add UNIT|DEVICE [INDEX]"},
      {{"units", "list"}, "too many operands: usage: kvodev units [--skip-excluded]"},
      {{"units", "--print"}, "option --print does not apply to units"},
      {{"units", "--json=yes"}, "option --json takes no value"},
      {{"units", "--frobnicate"}, "unknown option: --frobnicate"},
      {{"caps", "--ini"}, "option --ini needs a value"},
      {{"unitz"}, "unknown command: \"unitz\" (kvodev --help lists them)"},
      {{}, "no command given (kvodev --help lists them)"},
  };
  for (const auto& [args, message] : cases) {
    const Result result = Run(args);
    EXPECT_EQ(result.status, 2) << args.size();
    EXPECT_EQ(result.err, "kvodev: " + Expand(message) + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Files(data_.path()), (std::map<std::string, std::string>{{"plain", "a file"}})) << result.err;
  }
  // The default data directory must exist as well.
  const Result fromEnvironment = Run({"units"}, "KVO_DATA_DIR=" + Quoted(Dir() + "/none"));
  EXPECT_EQ(fromEnvironment.status, 2);
  EXPECT_EQ(fromEnvironment.err,
            Expand("kvodev: the data directory does not exist: \"%D/none\" (create it, or give --data-dir)\n"));

  // The extreme values are accepted: the library answers.
  RunSteps({{{"unlink", "U0x0", "COM-2147483648"}, 1, "",
             "kvodev: U0x0 and COM-2147483648 were not linked on both sides (a link on the unit's side alone is removed all the same)\n"},
            {{"unlink", "U65535x65535", "COM2147483647"}, 1, "",
             "kvodev: U65535x65535 and COM2147483647 were not linked on both sides (a link on the unit's side alone is removed "
             "all the same)\n"}});
}

TEST_F(Kvodev, ReadingWritesNothing) {
  // One line, no declaration of encoding, an empty driver entry: the library
  // would write every part of it differently.
  const std::string document =
      "<?xml version=\"1.0\"?><Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\"><UnitList><Unit UnitID=\"U1x1\"><LinkedInterface ItemID=\"COM1\"/>"
      "</Unit></UnitList><Interfaces><Serial><ComPort PortNo=\"COM1\"><LinkedUnit ItemID=\"U1x1\"/></ComPort></Serial>"
      "</Interfaces><DriverList><File/><File>a.so</File></DriverList></Devices>";
  Write("kvoDevice.xml", document);
  const auto stamp = Stamp(Path("kvoDevice.xml"));
  const std::map<std::string, std::string> files = Files(data_.path());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"units"}, {"units", "--skip-excluded"}, {"units", "exists", "U1x1"}, {"ports", "U1x1"}, {"drivers"}, {"graph"}, {"check"}}) {
    EXPECT_EQ(Run(args).status, 0) << args[0];
    EXPECT_EQ(Stamp(Path("kvoDevice.xml")), stamp) << args[0];
    EXPECT_TRUE(args[0] == "check" || Files(data_.path()) == files) << args[0];  // check opens as a host does
  }
  EXPECT_FALSE(fs::exists(Path("kvoDevice.xml.bak")));
  // A change is saved as the library writes it.
  EXPECT_EQ(Run({"units", "add", "2", "2"}).status, 0);
  EXPECT_NE(Read("kvoDevice.xml"), document);
  EXPECT_NE(Read("kvoDevice.xml").find("<Unit UnitID=\"U2x2\"/>"), std::string::npos);
}

TEST_F(Kvodev, OptionFormsAndNonAsciiPaths) {
  // "--name=value", options after the command, and a data directory named in UTF-8.
  const std::string dir = "%D/Ger\xc3\xa4te";
  fs::create_directory(Expand(dir));
  const std::string document = "<Devices><UnitList><Unit UnitID=\"U7x7\"/></UnitList></Devices>";
  std::ofstream(Expand(dir) + "/kvoDevice.xml") << document;
  RunSteps({
      {{"units", "--data-dir=" + dir}, 0, "UNIT  DEVICE  INDEX\nU7x7       7      7\n"},
      {{"units", "exists", "U7x7", "--json", "--data-dir", dir}, 0, "{\"unit\":\"U7x7\",\"exists\":true}\n"},
  });
  EXPECT_EQ(ReadFile(Expand(dir) + "/kvoDevice.xml"), document);  // reading wrote nothing
  RunSteps({
      {{"--data-dir=" + dir, "--json", "drivers", "add", "say \"hi\"\\.so"}, 0,
       "{\"file\":\"say \\\"hi\\\"\\\\.so\",\"added\":true}\n"},
      {{"check", "--data-dir=" + dir, "--json"}, 0,
       "{\"outcome\":\"loaded\",\"dataDir\":\"%D/Ger\\u00e4te\",\"document\":\"%D/Ger\\u00e4te/kvoDevice.xml\","
       "\"schema\":\"%D/Ger\\u00e4te/kvoDevice.xsd\",\"schemaWritten\":false,\"backup\":null,\"message\":null,"
       "\"reason\":null,\"units\":1,\"unitListComplete\":true,\"dryRun\":false,\"parseError\":null,\"backupFile\":null,"
       "\"linksRepaired\":null,\"historyKept\":null,\"findings\":[]}\n"},
  });
  const Result caps = Run({"caps", "--device=303", "--device", "1201", "--ini=" KVO_EXAMPLES "/positions.ini", "--json"});
  const testsupport::Json json = testsupport::ParseJson(caps.out);
  EXPECT_EQ(json["iniFiles"][0].AsString(), u"" KVO_EXAMPLES "/positions.ini");
  EXPECT_EQ(json["devices"][0]["device"].AsInt(), 303);
  EXPECT_EQ(json["devices"][1]["section"].AsString(), u"Colour camera 1201, second mount");
}

TEST_F(Kvodev, CheckTellsWhatTheOpeningDid) {
  const std::string cut = ReadFile(fs::path(KVO_EXAMPLES) / "kvoDevice.xml").substr(0, 150);
  Write("kvoDevice.xml", cut);
  Result result = Run({"check"});
  EXPECT_EQ(result.status, 3);
  EXPECT_TRUE(result.out.starts_with(Expand("recovered: %D/kvoDevice.xml could not be loaded\nbackup: %D/kvoDevice.xml.bak\n"
                                            "message: parse error: ")))
      << result.out;
  EXPECT_NE(result.out.find("\n  in line: 3 col: "), std::string::npos) << result.out;
  EXPECT_EQ(Read("kvoDevice.xml.bak"), cut);
  EXPECT_TRUE(Run({"check"}).out.starts_with(Expand("loaded %D/kvoDevice.xml: 0 units\nbackup: %D/kvoDevice.xml.bak (written ")));

  Write("kvoDevice.xml", cut);
  result = Run({"check", "--json"});
  EXPECT_EQ(result.status, 3);
  const testsupport::Json json = testsupport::ParseJson(result.out);
  EXPECT_EQ(json["outcome"].AsString(), u"recovered");
  EXPECT_EQ(json["backup"].AsString(), Path("kvoDevice.xml.bak").u16string());
  EXPECT_TRUE(json["message"].AsString().starts_with(u"parse error: ")) << result.out;
  EXPECT_NE(json["message"].AsString().find(u"\nin line: 3 col: "), std::u16string::npos) << result.out;
  EXPECT_EQ(json["parseError"]["kind"].AsString(), u"the document is not well-formed XML");
  EXPECT_EQ(json["reason"].kind, testsupport::Json::Kind::Null);

  // A command that changes the damaged document says it was replaced.
  Write("kvoDevice.xml", "<Devices>");
  result = Run({"units", "add", "1", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, Expand("kvodev: note: %D/kvoDevice.xml could not be loaded: it is kept as %D/kvoDevice.xml.bak, "
                               "and a default document that names the reason replaces it\n"));
  EXPECT_EQ(Read("kvoDevice.xml.bak"), "<Devices>");

  // A damaged unit list: loaded, but the answer is false.
  Write("kvoDevice.xml", "<Devices><UnitList><Unit UnitID=\"U1x1\"/><Unit/></UnitList></Devices>");
  fs::remove(Path("kvoDevice.xml.bak"));
  RunSteps({{{"check"}, 1, "loaded %D/kvoDevice.xml: 1 unit\nfindings in %D/kvoDevice.xml:\n  line 1: a unit without UnitID\n",
             "kvodev: the unit list is damaged: the library could not read every unit\n"},
            {{"units"}, 1, "UNIT  DEVICE  INDEX\nU1x1       1      1\n",
             "kvodev: the unit list is damaged: only the units before the damage are listed\n"}});

  // Gave up: the damaged document cannot be backed up, or the schema cannot be written.
  Write("kvoDevice.xml", "<Devices>");
  fs::remove(Path("kvoDevice.xml.bak"));
  fs::create_directory(Path("kvoDevice.xml.bak"));
  const std::string backupFails =
      "the damaged document cannot be backed up: cannot replace %D/kvoDevice.xml.bak: Is a directory";
  RunSteps({{{"check"}, 4, "gave up: " + backupFails + "\nschema written: %D/kvoDevice.xsd\n"},
            {{"units", "add", "1", "1"}, 1, "",
             "kvodev: the configuration could not be opened: " + backupFails + " ('kvodev check' tells more)\n"}});
  fs::remove(Path("kvoDevice.xsd"));
  fs::create_directory(Path("kvoDevice.xsd"));
  RunSteps({{{"check"}, 4, "gave up: the schema cannot be written: cannot replace %D/kvoDevice.xsd: Is a directory\n"},
            {{"schema"}, 1, "", "kvodev: the schema cannot be written: cannot replace %D/kvoDevice.xsd: Is a directory\n"}});
  EXPECT_EQ(Read("kvoDevice.xml"), "<Devices>");
}

TEST_F(Kvodev, ReadingAnUnloadableDocumentChangesNothing) {
  const std::string damaged = "kvodev: %D/kvoDevice.xml could not be loaded (parse error: 49 (73: the document is not "
                              "well-formed XML); in line: 3 col: 14; Couldn't find end of Start Tag Devices line 3); "
                              "nothing was changed ('kvodev check' keeps it as the backup and starts a default document)\n";
  const std::string unreadable = "kvodev: the configuration cannot be loaded: the document cannot be read: cannot read "
                                 "%D/kvoDevice.xml: Is a directory; nothing was changed ('kvodev check' tells more)\n";
  Write("kvoDevice.xml", ReadFile(fs::path(KVO_EXAMPLES) / "kvoDevice.xml").substr(0, 150));
  for (const std::string& message : {damaged, unreadable}) {
    const std::map<std::string, std::string> files = Files(data_.path());  // also: no backup afterwards
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"units"}, {"units", "exists", "U303x0"}, {"ports", "U303x0"}, {"drivers", "--json"}}) {
      RunSteps({{args, 5, "", message}});
      EXPECT_EQ(Files(data_.path()), files) << args[0];
    }
    fs::remove(Path("kvoDevice.xml"));
    fs::create_directory(Path("kvoDevice.xml"));  // unreadable, for the second round
  }
}

TEST_F(Kvodev, AChangeThatIsNotSavedIsNotClaimed) {
  UseExample();
  ASSERT_EQ(Run({"check"}).status, 0);
  // Every writer takes the lock first: without it no save can succeed, also for root.
  fs::remove(Path("kvoDevice.lock"));
  fs::create_directory(Path("kvoDevice.lock"));
  const std::string notSaved = "kvodev: the change was not saved: the configuration cannot be locked: cannot open the "
                               "lock file %D/kvoDevice.lock: Is a directory\n";
  RunSteps({
      {{"units", "add", "9", "9"}, 1, "", notSaved},
      {{"units", "add", "9", "9", "--json"}, 1, "{\"unit\":\"U9x9\",\"added\":false}\n", notSaved},
      {{"units", "remove", "U303x0"}, 1, "", notSaved},
      {{"unlink", "U303x0", "COM3"}, 1, "", notSaved},
      {{"drivers", "add", "x.so"}, 1, "", notSaved},
      {{"drivers", "clear"}, 1, "", notSaved},
      {{"units", "add", "303", "0"}, 1, "", "kvodev: U303x0 is listed already\n"},  // nothing to save
  });
  EXPECT_EQ(Read("kvoDevice.xml"), ReadFile(fs::path(KVO_EXAMPLES) / "kvoDevice.xml"));
}

TEST_F(Kvodev, SchemaIsWrittenOrPrinted) {
  Write("kvoDevice.xsd", "outdated");
  const Result printed = Run({"schema", "--print"});
  EXPECT_EQ(printed.status, 0);
  EXPECT_TRUE(printed.out.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")) << printed.out;
  EXPECT_EQ(Read("kvoDevice.xsd"), "outdated");
  RunSteps({{{"schema"}, 0, "wrote %D/kvoDevice.xsd (" + std::to_string(printed.out.size()) + " bytes)\n"}});
  EXPECT_EQ(Read("kvoDevice.xsd"), printed.out);
  for (const auto& [name, bytes] : Files(data_.path())) EXPECT_TRUE(name.starts_with("kvoDevice.")) << name;  // no scratch file
}

TEST_F(Kvodev, CapabilityTableAndIniDescriptions) {
  const std::string cameras = KVO_EXAMPLES "/cameras.ini", positions = KVO_EXAMPLES "/positions.ini";
  const std::string legend =
      "yes: available   no: not available   *: an INI setting decided, not the built-in table\n"
      "?: neither the built-in table nor an INI file describes the device; its answers are defaults\n"
      "HDRI follows the feature ACQ_ENABLE_HDRI, which is ";
  const std::string heading = "DEVICE  Shading  CustomGray  Splitting  AutoExp  WhiteBal  BlackBal  Accum  HDRI  SECTION\n";
  RunSteps({
      {{"caps", "--ini", cameras, "--device", "170", "--device", "303", "--device", "1202"}, 0,
       legend + "off\n\n" + heading +
           "  170   no*      no          yes        yes      no        no        no     no    Adapter 170 without shading\n"
           "  303   no       no          yes        yes      no        no        no     no\n"
           " 1202   yes*     yes*        yes        yes      no*       no        yes*   no    Monochrome camera 1202\n"},
      {{"--feature", "ACQ_ENABLE_HDRI", "caps", "--device", "303"}, 0,
       legend + "on\n\n" + heading + "  303   no       no          yes        yes      no        no        no     yes\n"},
      {{"caps"}, 0,
       legend + "off\n\n" + heading +
           "  100   no       yes         yes        yes      yes       no        no     no\n"
           "  303   no       no          yes        yes      no        no        no     no\n"
           "  332   no       yes         yes        yes      yes       no        yes    no\n"
           "65535?  yes      yes         yes        yes      yes       no        no     no\n"},
      {{"ini", "--ini", cameras, "--ini", positions}, 0,
       "DEVICE  SECTION                           TAGS    POSITIONS  RTC  PROCESSING\n"
       "   170  Adapter 170 without shading       legacy  -          no   Shading=no\n"
       "   303  Stage camera 303                  stage   1          yes  -\n"
       "   332  Adapter 332 with shading          legacy  -          no   Shading=yes\n"
       "  1201  Colour camera 1201, second mount  colour  1,2,4      yes  Shading=yes AutoExposure=yes Whitebalance=yes\n"
       "  1202  Monochrome camera 1202            mono    2          no   Shading=yes CustomGrayscale=yes "
       "Whitebalance=no Accumulation=yes\n"
       "  1203  Fast colour camera 1203           colour  3          no   Splitting=no Blackbalance=yes\n"
       "\nTAG     DEVICES\ncolour  1201 1203\nlegacy  332 170\nmono    1202\nstage   303\n"
       "\nPOSITION  DEVICES\n       1  1201 303\n       2  1201 1202\n       3  1203\n       4  1201\n"},
      {{"ini"}, 0, "no INI files given (--ini FILE): no devices described\n"},
      {{"--feature", "DEV_NO_SERVICE_UPDATE", "ini", "--ini", cameras}, 1, "",
       "kvodev: there is no extended device information while the feature DEV_NO_SERVICE_UPDATE is on\n"},
  });
  // Every type: a column for each of 0 to 31, and the INI marks where they belong.
  const Result all = Run({"caps", "--all-types", "--ini", cameras, "--device", "1203"});
  std::istringstream lines(all.out.substr(all.out.find("\n\n") + 2));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    rows.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
  }
  ASSERT_EQ(rows.size(), 2u) << all.out;
  ASSERT_EQ(rows[0].size(), 34u) << all.out;
  EXPECT_EQ(rows[0][1], "0");
  EXPECT_EQ(rows[0][32], "31");
  ASSERT_EQ(rows[1].size(), 37u) << all.out;  // the section name is four words
  EXPECT_EQ(rows[1][1 + 6], "no*");
  EXPECT_EQ(rows[1][1 + 10], "yes*");
  EXPECT_EQ(rows[1][1 + 2], "yes");
}

TEST_F(Kvodev, IniLintWarnsWhereTheReaderDiffersFromTheWriter) {
  struct Case {
    std::string bytes;
    int status;
    std::vector<std::string> warnings;  // "LINE: text" of a.ini
  };
  const std::vector<Case> cases = {
      {"; comment\n[A]\nID=1\nuseShading=1\nTag=x\n", 0, {}},
      {"[A]\r\nID=1\r\nuseShading=yes\r\nuseSplitting=OFF\r\n", 1,
       {"3: useShading=yes: a word in an integer key reads as 0 (off); write 1 or 0",
        "4: useSplitting=OFF: a word in an integer key reads as 0 (off); write 1 or 0"}},
      {"[A]\nID=70000\n[B]\nID=x2\n[C]\nID=-1\n[D]\nuseWhitebalance=2\nuseAccumulation=1.5\n", 1,
       {"2: ID=70000: above 65535 or negative; it reads as device 4464 (modulo 65536)",
        "4: ID=x2: not a number; it reads as device 0", "6: ID=-1: reads as 65535, no device; the section is left out",
        "8: useWhitebalance=2: reads as 2, neither 0 nor 1; the setting is ignored",
        "9: useAccumulation=1.5: reads as 1 (on), and \".5\" is ignored"}},
      {"[A]\nTag=a ; note\nuseShading=1 #on\nPosition=a;b\n", 1,
       {"2: Tag=a ; note: ';' starts no comment after a value; it belongs to the value",
        "3: useShading=1 #on: '#' starts no comment after a value; it belongs to the value"}},
      {"[A]\nID=5\nID=6\n[a]\nID=5\n[B]\nID=\"5\"\n", 1,
       {"3: ID appears again in [A] (first at line 2): the first wins",
        "4: section [a] appears again (first at line 1): lookups read the first, so nothing in this one is read",
        "7: device 5 is described already by [A] at %D/a.ini:2; the descriptions merge"}},
      {std::string("\xFF\xFE[\0A\0]\0\r\0\n\0I\0D\0=\0y\0", 20), 1, {"2: ID=y: not a number; it reads as device 0"}},
      {std::string("\xEF\xBB\xBF[A]\nID=1\n"), 0, {}},
      {std::string("[\0A\0]\0\n\0I\0D\0=\0001\0", 16), 1,
       {"1: looks like UTF-16 without a byte-order mark (many zero bytes): the library finds nothing in it"}},
  };
  for (const Case& c : cases) {
    Write("a.ini", c.bytes);
    std::string expected;
    for (const std::string& warning : c.warnings) expected += "%D/a.ini:" + warning + "\n";
    const Result result = Run({"ini", "--lint", "%D/a.ini"});
    EXPECT_EQ(result.status, c.status) << c.bytes;
    EXPECT_EQ(result.out, Expand(expected)) << c.bytes;
  }
  // A device in two files, JSON, and a file that cannot be read.
  Write("a.ini", "[A]\nID=1201\n");
  const Result json = Run({"ini", "--lint", "--json", "%D/a.ini", KVO_EXAMPLES "/cameras.ini"});
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.out, R"({"warnings":[{"file":")" KVO_EXAMPLES R"(/cameras.ini","line":6,"text":"device 1201 is )"
                      R"(described already by [A] at )" + Dir() + R"(/a.ini:2; the descriptions merge"}]})" "\n");
  RunSteps({{{"ini", "--lint", "%D/a.ini", "%D/none.ini"}, 2, "", "kvodev: INI file cannot be read: \"%D/none.ini\"\n"},
            {{"ini", "%D/a.ini"}, 2, "", "kvodev: FILE operands need --lint: usage: kvodev ini --lint FILE...\n"}});
}

TEST_F(Kvodev, GraphDrawsLinksAndMembershipsWithQuotedNames) {
  for (const std::vector<std::string>& change :
       {std::vector<std::string>{"units", "add", "U303x0"}, {"units", "add", "U7x1"},
        {"units", "set", "U303x0", "--name", "say \"hi\" \\n"}, {"link", "U303x0", "COM3"},
        {"sets", "create", "A \"b\""}, {"sets", "add", "A \"b\"", "U7x1"}, {"sets", "activate", "A \"b\""}})
    ASSERT_EQ(Run(change).status, 0) << change[0];
  const Result graph = Run({"graph"});
  EXPECT_EQ(graph.status, 0) << graph.err;
  for (const std::string line : {R"(  "unit U303x0" [label="U303x0\nsay \"hi\" \\n", shape=box];)",
                                 R"(  "set A \"b\"" [label="A \"b\"", shape=folder, peripheries=2];)",
                                 R"(  "unit U303x0" -> "port COM3" [dir=none];)",
                                 R"(  "set A \"b\"" -> "unit U7x1" [style=dotted];)"})
    EXPECT_NE(graph.out.find(line + "\n"), std::string::npos) << line << "\n" << graph.out;
  // A link on the unit's side alone, to a port the document lacks.
  std::string document = Read("kvoDevice.xml");
  document.replace(document.find("COM3\"/>"), 4, "COM9");
  Write("kvoDevice.xml", document);
  const std::string out = Run({"graph"}).out;
  EXPECT_NE(out.find(R"("unit U303x0" -> "port COM9" [style=dashed, label="unit side only"];)"), std::string::npos) << out;
  EXPECT_NE(out.find(R"x("port COM9" [color=red, label="COM9\n(missing)"];)x"), std::string::npos) << out;
  const Result svg = Run({"--data-dir", "%D", "graph", "--svg"}, "PATH=/nonexistent");
  EXPECT_EQ(svg.status, 2);
  EXPECT_EQ(svg.err, "kvodev: graph --svg needs Graphviz's dot on PATH (without --svg: DOT text)\n");
}

const std::string kSchemaNamed = "<Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                 "xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\">";

// Lines joined, so that each case's line numbers can be read off its table row.
std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST_F(Kvodev, CheckFindsWhatIsWrongWithItsLineAndADryRunWritesNothing) {
  using Found = std::vector<std::pair<std::u16string, std::int64_t>>;
  const std::string unitsOpen = "<Devices><UnitList>", serial = "</UnitList><Interfaces><Serial>";
  const struct {
    std::vector<std::string> document;
    int status;
    Found found;
  } cases[] = {
      {{unitsOpen, "<Unit UnitID=\"U1x1\"><LinkedInterface ItemID=\"COM9\"/></Unit>", serial, "<ComPort PortNo=\"COM9\"/>",
        "</Serial></Interfaces></Devices>"},
       0, {{u"unit-side-only", 2}}},
      {{unitsOpen, "<Unit UnitID=\"U1x1\"/>", serial, "<ComPort PortNo=\"COM1\"><LinkedUnit ItemID=\"U1x1\"/>",
        "<LinkedUnit ItemID=\"U2x2\"/></ComPort>", "</Serial></Interfaces></Devices>"},
       0, {{u"port-side-only", 4}, {u"link-to-missing-unit", 4}}},
      {{unitsOpen, "<Unit UnitID=\"U1x1\"><LinkedInterface ItemID=\"COM9\"/></Unit>", "</UnitList></Devices>"},
       0, {{u"link-to-missing-port", 2}}},
      {{unitsOpen, "<Unit UnitID=\"U1x1\"/>", "<Unit UnitID=\"U0170x0\"/>", "<Unit UnitID=\"U1x1\"/>", "</UnitList>",
        "<Sets><Set Name=\"s\"><LinkedUnit ItemID=\"U5x5\"/></Set></Sets></Devices>"},
       0, {{u"malformed-unit-id", 3}, {u"not-valid", 4}, {u"duplicate-unit-id", 4}, {u"link-to-missing-unit", 6}}},
      {{unitsOpen, "<Unit UnitID=\"U1x1\"/>", "<Unit/>", "</UnitList></Devices>"}, 1, {{u"unit-without-id", 3}}},
      {{"<Devices><DriverList>", "<File>A.so</File>", "<File>a.so</File>", "</DriverList></Devices>"},
       0, {{u"driver-case-twin", 3}}},
      // Findings check the schema always; an opening only when the document names it.
      {{kSchemaNamed, "<UnitList>", "<Unit UnitID=\"U1x1\" setup=\"Exclude\"/>", "</UnitList></Devices>"},
       3, {{u"not-valid", 3}}},
  };
  for (const auto& c : cases) {
    Write("kvoDevice.xml", Lines(c.document));
    const std::map<std::string, std::string> files = Files(data_.path());
    const Result result = Run({"check", "--dry-run", "--json"});
    EXPECT_EQ(result.status, c.status) << result.out;
    Found found;
    const testsupport::Json json = testsupport::ParseJson(result.out);
    for (const testsupport::Json& finding : json["findings"])
      found.emplace_back(finding["kind"].AsString(), finding["line"].AsInt());
    EXPECT_EQ(found, c.found) << result.out;
    EXPECT_EQ(Files(data_.path()), files) << result.out;
  }
  RunSteps({{{"check", "--dry-run"}, 3,
             "would recover: %D/kvoDevice.xml cannot be loaded\nwould keep it as: %D/kvoDevice.xml.bak\n"
             "message: parse error: 72f (1839: the document breaks the schema)\n  in line: 3 col: 0\n"
             "  Element 'Unit', attribute 'setup': [facet 'pattern'] The value 'Exclude' is not accepted by the pattern "
             "'include|exclude'.\na default document would replace it\nschema would be written: %D/kvoDevice.xsd\n"
             "findings in %D/kvoDevice.xml:\n  line 3: the document breaks the schema: Element 'Unit', attribute 'setup': "
             "[facet 'pattern'] The value 'Exclude' is not accepted by the pattern 'include|exclude'.\n"},
            {{"check", "--dry-run", "--repair-links"}, 2, "",
             "kvodev: --repair-links writes the repair: it does not go with --dry-run\n"}});
  // After the recovery the user's data is in the backup, and so are the findings.
  const Result recovered = Run({"check", "--json"});
  const testsupport::Json json = testsupport::ParseJson(recovered.out);
  EXPECT_EQ(json["findings"][0]["file"].AsString(), u"backup");
  EXPECT_EQ(json["findings"][0]["line"].AsInt(), 4);  // the backup is written with an XML declaration before
  EXPECT_EQ(json["parseError"]["code"].AsInt(), 1839);
}

TEST_F(Kvodev, HistoryDiffAndRestore) {
  UseExample();
  EXPECT_EQ(Run({"history"}).out, Expand("the history %D/kvoDevice.history keeps no versions\n"));
  EXPECT_EQ(Run({"diff"}).status, 2);
  // Each change against the version it replaced.
  const std::pair<std::vector<std::string>, std::string> changes[] = {
      {{"units", "add", "9", "9"}, "+ unit U9x9 (line 30)\n"},
      {{"units", "remove", "U170x0"}, "- unit U170x0 (line 22): setup \"exclude\", model \"Camera adapter 170 (spare)\"\n"},
      {{"unlink", "U303x0", "COM3"},
       "~ unit U303x0 (line 5 -> 5): link to COM3 removed\n~ port COM3 (line 31 -> 30): link to U303x0 removed\n"},
      {{"drivers", "add", "f.so"}, "+ driver file f.so (line 43)\n"},
      {{"units", "remove", "U303x1"}, "- unit U303x1 (line 11): driver \"stage303.so\", name \"Auxiliary stage\", "
                                      "linked to COM5\n~ set \"Fluorescence\" (line 52 -> 47): member U303x1 removed\n"},
  };
  for (const auto& [args, lines] : changes) {
    ASSERT_EQ(Run(args).status, 0) << args[0];
    const Result diff = Run({"diff"});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out.substr(diff.out.find("\n+++ ") + 1), Expand("+++ %D/kvoDevice.xml\n") + lines);
  }
  const testsupport::Json history = testsupport::ParseJson(Run({"history", "--json"}).out)["versions"];
  ASSERT_EQ(history.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(history[i]["number"].AsInt(), static_cast<std::int64_t>(i + 1));
    EXPECT_EQ(history[i]["reason"].AsString(), u"save");
    EXPECT_EQ(history[i]["units"].AsInt(), i == 0 ? 5 : i < 2 ? 6 : 5) << i;
  }
  // The last row's shape, every digit as 9: number, time, why, units, bytes, file.
  std::string last = Run({"history"}).out;
  last.erase(0, last.rfind('\n', last.size() - 2) + 1);
  std::replace_if(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; }, '9');
  EXPECT_TRUE(last.starts_with("9  9999-99-99 99:99:99 UTC  save      9  ")) << last;
  EXPECT_TRUE(last.ends_with("  99999999T999999.999999999Z-save.xml\n")) << last;

  // A restore round trip, by number; the document it replaced is the newest version.
  const Result restored = Run({"restore", "1"});
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_TRUE(restored.out.starts_with("restored version 1 (")) << restored.out;
  EXPECT_NE(restored.out.find("the document it replaced is kept as version 6 ("), std::string::npos) << restored.out;
  EXPECT_EQ(Read("kvoDevice.xml"), ReadFile(fs::path(KVO_EXAMPLES) / "kvoDevice.xml"));
  const Result same = Run({"diff", "1"});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "");
  EXPECT_TRUE(same.err.starts_with("kvodev: no differences between version 1 (")) << same.err;
  const testsupport::Json undone = testsupport::ParseJson(Run({"diff", "--json"}).out)["units"];
  EXPECT_EQ(undone["removed"][0]["unit"].AsString(), u"U9x9");
  EXPECT_EQ(undone["added"][0]["unit"].AsString(), u"U303x1");
  EXPECT_EQ(undone["added"][1]["unit"].AsString(), u"U170x0");

  // Files by name or path; edits of values, comments and the active set.
  std::string other = Read("kvoDevice.xml");
  for (const auto& [from, to] : {std::pair{"Motorised stage 303", "Stage 303"}, {"\"Brightfield\"/>", "\"Fluorescence\"/>"},
                                 {"Both stages and the adapter", "Both stages"}})
    other.replace(other.find(from), std::string(from).size(), to);
  Write("other.xml", other);
  RunSteps({{{"diff", "kvoDevice.xml", "%D/other.xml"}, 1,
             "--- %D/kvoDevice.xml\n+++ %D/other.xml\n"
             "~ unit U303x0 (line 5 -> 5): model \"Motorised stage 303\" -> \"Stage 303\"\n"
             "~ set \"Fluorescence\" (line 56 -> 56): comment \"Both stages and the adapter\" -> \"Both stages\"\n"
             "~ active set: \"Brightfield\" -> \"Fluorescence\"\n"},
            {{"diff", "7"}, 2, "", "kvodev: no version 7 in the history: it holds 6 (kvodev history lists them; ./7 names a file)\n"}});
  Write("bad.xml", kSchemaNamed + "<UnitList><Unit UnitID=\"U1x1\" setup=\"Exclude\"/></UnitList></Devices>");
  const std::string before = Read("kvoDevice.xml");
  const Result refused = Run({"restore", "bad.xml"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.err.starts_with("kvodev: not restored: ")) << refused.err;
  EXPECT_EQ(Read("kvoDevice.xml"), before);
}

TEST_F(Kvodev, RepairLinksSavesAndKeepsTheVersionBefore) {
  Write("kvoDevice.xml", Lines({"<Devices><UnitList>", "<Unit UnitID=\"U1x1\"><LinkedInterface ItemID=\"COM1\"/></Unit>",
                                "<Unit UnitID=\"U2x2\"/>", "</UnitList><Interfaces><Serial>",
                                "<ComPort PortNo=\"COM1\"/>", "<ComPort PortNo=\"COM2\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>",
                                "</Serial></Interfaces></Devices>"}));
  const Result repaired = Run({"check", "--repair-links"});
  EXPECT_EQ(repaired.status, 0) << repaired.err;
  EXPECT_TRUE(repaired.out.starts_with(Expand("loaded %D/kvoDevice.xml: 2 units\nschema written: %D/kvoDevice.xsd\n"
                                              "repaired 2 links; the document before the repair is kept as version 1 (")))
      << repaired.out;
  const std::string diff = Run({"diff", "1"}).out;
  EXPECT_EQ(diff.substr(diff.find("\n~")),
            "\n~ unit U1x1 (line 2 -> 4): link to COM1 removed\n~ unit U2x2 (line 3 -> 5): link to COM2 added\n");
  const Result again = Run({"check", "--dry-run", "--json"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(testsupport::ParseJson(again.out)["findings"].size(), 0u) << again.out;
  RunSteps({{{"check", "--repair-links"}, 0, "loaded %D/kvoDevice.xml: 2 units\nno links to repair\n"}});
  EXPECT_EQ(testsupport::ParseJson(Run({"history", "--json"}).out)["versions"].size(), 1u);
}

TEST_F(Kvodev, EditingCommandsKeepTheDocumentValid) {
  UseExample();
  const std::string badUnit = "kvodev: not a unit id (U<device>x<index>, both 0 to 65535 without leading zeros, e.g. "
                              "U303x0): \"U3O3x0\"\n";
  RunSteps({
      {{"units", "add", "U9x9"}, 0, "added U9x9\n"},
      {{"units", "add", "U3O3x0"}, 2, "", badUnit},
      {{"units", "show", "U3O3x0"}, 2, "", badUnit},
      {{"units", "show", "U9x8"}, 1, "", "kvodev: U9x8 is not listed\n"},
      {{"units", "set", "U9x9", "--name", "Filter wheel", "--serial", "FW-1", "--exclude"}, 0, "changed U9x9\n"},
      {{"units", "set", "U303x0", "--model", ""}, 0, "changed U303x0\n"},
      {{"units", "set", "U9x9"}, 2, "",
       "kvodev: nothing to set: give --name, --model, --driver, --serial, --include or --exclude\n"},
      {{"units", "set", "U9x9", "--include", "--exclude"}, 2, "", "kvodev: --include and --exclude do not go together\n"},
      {{"units", "set", "U9x8", "--name", "x"}, 1, "", "kvodev: U9x8 is not listed\n"},
      {{"link", "U9x9", "COM7"}, 0, "linked U9x9 and COM7\n"},
      {{"link", "U9x9", "COM7"}, 1, "", "kvodev: U9x9 and COM7 are linked on both sides already\n"},
      {{"link", "U9x8", "COM7"}, 1, "", "kvodev: U9x8 is not listed\n"},
      {{"link", "U9x9", "LPT1"}, 2, "",
       "kvodev: not a serial port (COM<n>, n a 32-bit decimal number, e.g. COM3 or COM-5): \"LPT1\"\n"},
      {{"units", "show", "U9x9"}, 0, "unit:          U9x9\nsetup:         exclude\ndriver:        -\nmodel:         -\n"
                                     "name:          Filter wheel\nserial number: FW-1\nlinked ports:  COM7\n"},
      {{"units", "show", "U303x0", "--json"}, 0,
       R"({"unit":"U303x0","listed":true,"setup":"include","included":true,"driver":"stage303.so","model":null,)"
       R"("name":"Main stage","serial":"ST-30317","ports":["COM3"]})" "\n"},
      {{"sets", "create", "Night", "--comment", "dark room"}, 0, "created set \"Night\"\n"},
      {{"sets", "create", "Night"}, 1, "", "kvodev: a set \"Night\" exists already\n"},
      {{"sets", "create", ""}, 2, "", "kvodev: a set needs a name: \"\"\n"},
      {{"sets", "add", "Night", "U9x9"}, 0, "added U9x9 to set \"Night\"\n"},
      {{"sets", "add", "Night", "U9x9"}, 1, "", "kvodev: U9x9 is a member of \"Night\" already\n"},
      {{"sets", "add", "Night", "U9x8"}, 1, "", "kvodev: U9x8 is not listed\n"},
      {{"sets", "add", "Day", "U9x9"}, 1, "", "kvodev: there is no set \"Day\"\n"},
      {{"sets", "remove", "Brightfield", "U9x9"}, 1, "", "kvodev: U9x9 is no member of \"Brightfield\"\n"},
      {{"sets", "activate", "Night"}, 0, "activated set \"Night\"\n"},
      {{"sets", "activate", "Day", "--json"}, 1, "{\"set\":\"Day\",\"activated\":false}\n", "kvodev: there is no set \"Day\"\n"},
      {{"sets"}, 0, "   SET           UNITS  COMMENT\n   Brightfield       2  Main stage and the colour camera\n"
                    "   Fluorescence      3  Both stages and the adapter\n*  Night             1  dark room\n* the active set\n"},
      {{"sets", "show", "Night", "--json"}, 0,
       R"({"name":"Night","comment":"dark room","active":true,"members":["U9x9"]})" "\n"},
      {{"drivers", "remove", "STAGE303.SO", "--json"}, 0, "{\"file\":\"STAGE303.SO\",\"removed\":true}\n"},
      {{"drivers", "remove", "stage303.so"}, 1, "", "kvodev: no driver file \"stage303.so\" is listed (in any letter case)\n"},
      {{"units", "remove", "U303x1", "--unlink", "--json"}, 0, "{\"unit\":\"U303x1\",\"removed\":true,\"unlinked\":[\"COM5\"]}\n"},
      {{"units", "remove", "U9x9", "--unlink"}, 0, "removed U9x9, its set memberships and its port links (COM7)\n"},
      {{"units", "remove", "U9x9", "--unlink"}, 1, "", "kvodev: U9x9 is not listed\n"},
      {{"sets", "show", "Night"}, 0, "set:      Night (active)\ncomment:  dark room\nmembers:  none\n"},
  });
  const Result checked = Run({"check", "--dry-run", "--json"});
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_EQ(testsupport::ParseJson(checked.out)["findings"].size(), 0u) << checked.out;
  EXPECT_EQ(Read("kvoDevice.xml").find("ItemID=\"U303x1\""), std::string::npos);  // no link names it on either side
}

TEST_F(Kvodev, HelpForEveryCommand) {
  const Result overview = Run({"--help"});
  EXPECT_EQ(overview.status, 0);
  for (const std::string command : {"units", "units add", "units show", "units set", "units remove", "units exists",
                                    "ports", "link", "unlink", "sets", "sets show", "sets create", "sets add",
                                    "sets remove", "sets activate", "drivers", "drivers add", "drivers remove",
                                    "drivers clear", "check", "history", "diff", "restore", "schema", "graph", "caps",
                                    "ini"}) {
    EXPECT_NE(overview.out.find("\n  " + command + " "), std::string::npos) << command;
    const std::size_t space = command.find(' ');
    std::vector<std::string> args{command.substr(0, space)};
    if (space != std::string::npos) args.push_back(command.substr(space + 1));
    args.push_back("--help");
    const Result help = Run(args);
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_TRUE(help.out.starts_with("usage: kvodev " + command)) << help.out;
    EXPECT_NE(help.out.find("\nexample:\n  kvodev "), std::string::npos) << help.out;
  }
  for (const char* status : {"  0  success", "  2  usage error", "  3  check:", "  4  check:", "  5  the configuration"})
    EXPECT_NE(overview.out.find(status), std::string::npos) << status;
}

}  // namespace
