// The command-line host kvodev, run as a program in scratch data directories.
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using Json = nlohmann::json;

struct Result { int status; std::string out, err; };

std::string Quoted(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) c == '\'' ? quoted.append("'\\''") : quoted.append(1, c);
  return quoted.append("'");
}

// Whether `text` has the shape of `pattern`, in which '*' stands for any text and '?' for one character.
bool Like(const std::string& text, const std::string& pattern) { return fnmatch(pattern.c_str(), text.c_str(), 0) == 0; }

// Every file below `dir` with its bytes ("<dir>" for a directory).
std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    files[fs::relative(entry.path(), dir).string()] = entry.is_directory() ? "<dir>" : ReadFile(entry.path());
  return files;
}

// Lines joined, so that line numbers can be read off the list.
std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

const std::string kExample = ReadFile(KVO_EXAMPLES "/kvoDevice.xml"), kCameras = KVO_EXAMPLES "/cameras.ini";
const std::string kSchemaNamed =
    "<Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\">";

class Kvodev : public ::testing::Test {
 protected:
  // Runs kvodev with `--data-dir DIR` (unless `environment` is given); "%D" in an argument stands for DIR.
  Result Run(std::vector<std::string> args, const std::string& environment = "") const {
    std::string command = "env -u KVO_FEATURES -u KVO_DATA_DIR -u KVO_HISTORY " + environment + " " + Quoted(KVODEV);
    if (environment.empty()) command.append(" --data-dir ").append(Quoted(Dir()));
    for (const std::string& arg : args) command.append(" ").append(Quoted(Expand(arg)));
    const fs::path out = scratch_.path() / "out", err = scratch_.path() / "err";
    const int status = std::system(command.append(" >").append(Quoted(out)).append(" 2>").append(Quoted(err)).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  }
  Json RunJson(std::vector<std::string> args) const { return Json::parse(Run((args.push_back("--json"), args)).out); }
  std::string Dir() const { return data_.path().string(); }
  std::string Expand(std::string text) const {
    for (std::size_t at; (at = text.find("%D")) != std::string::npos;) text.replace(at, 2, Dir());
    return text;
  }
  fs::path Path(const std::string& name) const { return data_.path() / name; }
  std::string Read(const std::string& name) const { return ReadFile(Path(name)); }
  void Write(const std::string& name, const std::string& bytes) const { data_.Write(name, bytes); }
  // A file of tests/data/kvodev.
  static std::string Data(const std::string& name) { return ReadFile(KVO_TEST_DATA "/kvodev/" + name); }

  // Runs each step in order: its exit status, standard output and standard error.
  struct Step { std::vector<std::string> args; int status; std::string out, err = ""; };
  void RunSteps(const std::vector<Step>& steps) const {
    for (const Step& step : steps) {
      SCOPED_TRACE(::testing::PrintToString(step.args));
      const Result result = Run(step.args);
      EXPECT_EQ(result.status, step.status) << result.err;
      EXPECT_EQ(result.out, Expand(step.out));
      EXPECT_EQ(result.err, Expand(step.err));
    }
  }

  testsupport::TempDir data_, scratch_;
};

// Each command on the example as text or as JSON; the edits keep the document valid.
TEST_F(Kvodev, EditsOfTheExampleAsTextAndJson) {
  RunSteps({
      {{"check"}, 0, "created %D/kvoDevice.xml: a default document (the data directory held none)\nschema written: %D/kvoDevice.xsd\n"},
      {{"units"}, 0, "", "no units\n"}, {{"drivers"}, 0, "", "no driver files\n"},
      {{"units", "add", "65534", "65535"}, 0, "added U65534x65535\n"}, {{"units", "exists", "U65534x65535"}, 0, "U65534x65535 is listed\n"},
      {{"units", "remove", "U303x0"}, 1, "", "kvodev: U303x0 is not listed\n"},
      {{"drivers", "add", "--", "-a.so"}, 0, "added driver file -a.so\n"},
      {{"drivers", "add", "--", "-A.SO"}, 1, "", "kvodev: driver file not added: \"-A.SO\" is listed already (in some letter case)\n"},
  });
  Write("kvoDevice.xml", kExample);
  const std::string camera = "kamera-\xc3\xbc-\xf0\x9f\x93\xb7", cameraJson = R"(kamera-\u00fc-\ud83d\udcf7)";
  RunSteps({
      {{"units", "--skip-excluded", "--json"}, 0,
       R"({"units":[{"unit":"U303x0","device":303,"index":0},{"unit":"U303x1","device":303,"index":1},)"
       R"({"unit":"U332x0","device":332,"index":0},{"unit":"U1201x0","device":1201,"index":0}],"complete":true})" "\n"},
      {{"ports", "U303x0"}, 0, "PORT  TYPE    NUMBER\nCOM3  serial       3\n"},
      {{"ports", "U9x8"}, 1, "", "kvodev: U9x8 is not listed\n"},
      {{"ports", "U303x1", "--json"}, 0, R"({"unit":"U303x1","listed":true,"ports":[{"port":"COM5","type":"serial","number":5}],"complete":true})" "\n"},
      {{"drivers", "add", camera + "\x01.so", "--json"}, 2,
       R"({"error":"the driver file name holds characters XML cannot hold: \")" + cameraJson + R"(\u0001.so\""})" "\n"},
      {{"drivers", "add", camera + ".so", "--json"}, 0, R"({"file":")" + cameraJson + R"(.so","added":true})" "\n"},
      {{"drivers", "--json"}, 0, R"({"files":["adapter332.so","camera1201.so",")" + cameraJson + R"(.so","stage303.so"]})" "\n"},
      {{"drivers", "remove", "STAGE303.SO", "--json"}, 0, "{\"file\":\"STAGE303.SO\",\"removed\":true}\n"},
      {{"drivers", "clear", "--json"}, 0, "{\"cleared\":true}\n"},
      {{"units", "add", "U9x9", "--json"}, 0, "{\"unit\":\"U9x9\",\"added\":true}\n"},
      {{"units", "set", "U9x9", "--name", "Filter wheel", "--serial", "FW-1", "--exclude"}, 0, "changed U9x9\n"},
      {{"units", "set", "U303x0", "--model", ""}, 0, "changed U303x0\n"},
      {{"link", "U9x9", "COM2147483647"}, 0, "linked U9x9 and COM2147483647\n"},
      {{"units", "show", "U9x9"}, 0, "unit:          U9x9\nsetup:         exclude\ndriver:        -\nmodel:         -\n"
                                     "name:          Filter wheel\nserial number: FW-1\nlinked ports:  COM2147483647\n"},
      {{"units", "show", "U303x0", "--json"}, 0, R"({"unit":"U303x0","listed":true,"setup":"include","included":true,)"
                                                 R"("driver":"stage303.so","model":null,"name":"Main stage","serial":"ST-30317","ports":["COM3"]})" "\n"},
      {{"unlink", "U0x0", "COM-2147483648"}, 1, "",
       "kvodev: U0x0 and COM-2147483648 were not linked on both sides (a link on the unit's side alone is removed all the same)\n"},
      {{"unlink", "U303x0", "COM3"}, 0, "unlinked U303x0 and COM3\n"},
      {{"unlink", "U9x9", "COM2147483647", "--json"}, 0, R"({"unit":"U9x9","port":"COM2147483647","unlinked":true})" "\n"},
      {{"sets", "create", "Night", "--comment", "dark"}, 0, "created set \"Night\"\n"},
      {{"sets", "comment", "Night", "dark room"}, 0, "changed the comment of set \"Night\"\n"},
      {{"sets", "comment", "Day", "x", "--json"}, 1, R"({"set":"Day","comment":"x","changed":false,"error":"there is no set \"Day\""})" "\n"},
      {{"ports", "remove", "COM4"}, 0, "removed COM4 and every link to it\n"},
      {{"ports", "remove", "COM4"}, 1, "", "kvodev: there is no port COM4\n"},
      {{"sets", "add", "Night", "U9x9"}, 0, "added U9x9 to set \"Night\"\n"},
      {{"sets", "remove", "Brightfield", "U9x9"}, 1, "", "kvodev: U9x9 is no member of \"Brightfield\"\n"},
      {{"sets", "activate", "Night"}, 0, "activated set \"Night\"\n"},
      {{"sets", "activate", "Day", "--json"}, 1, R"({"set":"Day","activated":false,"error":"there is no set \"Day\""})" "\n"},
      {{"sets"}, 0, "   SET           UNITS  COMMENT\n   Brightfield       2  Main stage and the colour camera\n"
                    "   Fluorescence      3  Both stages and the adapter\n*  Night             1  dark room\n* the active set\n"},
      {{"sets", "show", "Night", "--json"}, 0, R"({"name":"Night","comment":"dark room","active":true,"members":["U9x9"]})" "\n"},
      {{"units", "remove", "U303x1", "--unlink"}, 0, "removed U303x1, its set memberships and its port links (COM5)\n"},
      {{"units", "remove", "U9x9", "--unlink", "--json"}, 0, "{\"unit\":\"U9x9\",\"removed\":true,\"unlinked\":[]}\n"},
      {{"sets", "show", "Night"}, 0, "set:      Night (active)\ncomment:  dark room\nmembers:  none\n"},
  });
  EXPECT_EQ(RunJson({"check", "--dry-run"})["findings"], Json::array());
}

TEST_F(Kvodev, BadInputChangesNothingAndNamesTheValue) {
  Write("plain", "a file");
  const std::string usage = ": usage: kvodev units add UNIT|DEVICE [INDEX]";
  std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"units", "add", "303", "65536"}, "not a unit index (0 to 65535, decimal without leading zeros): \"65536\""},
      {{"units", "add", "U65535x0"},
       "device 65535 means no device: a unit of it could not be told from a malformed id (U65535x0)"},
      {{"caps", "--ini", "%D/missing.ini"}, "INI file not found: \"%D/missing.ini\""},
      {{"ini", "--ini", "%D"}, "INI file is not a regular file: \"%D\""}, {{"drivers", "add", ""}, "a driver file needs a name: \"\""},
      {{"--data-dir", "%D/missing", "units"}, "the data directory does not exist: \"%D/missing\""},
      {{"--data-dir", "%D/plain", "caps"}, "the data directory is not a directory: \"%D/plain\""},
      {{"drivers", "add", "bad\xff.so"}, "the driver file name is not UTF-8: \"bad\xff.so\""},
      {{"units", "set", "U9x9"}, "nothing to set: give --name, --model, --driver, --serial, --include or --exclude"},
      {{"units", "set", "U9x9", "--include", "--exclude"}, "--include and --exclude do not go together"},
      {{"units", "add", "303"}, "missing operands" + usage}, {{"units", "add", "1", "2", "3"}, "too many operands" + usage},
      {{"units", "list"}, "unknown command: \"units list\" (kvodev help units lists them)"},
      {{"units", "--print"}, "option --print does not apply to units"},
      {{}, "no command given (kvodev --help lists them)"},
      {{"unitz"}, "unknown command: \"unitz\"; did you mean \"units\"? (kvodev --help lists them)"},
      {{"sets", "shwo", "x"}, "unknown command: \"sets shwo\"; did you mean \"sets show\"? (kvodev help sets lists them)"},
      {{"units", "--jsno"}, "unknown option: --jsno; did you mean \"--json\"?"},
  };
  // One id per rule: the form, leading zeros, the range (and for ports: no "-0").
  const std::string unit = "not a unit id (U<device>x<index>, both 0 to 65535 without leading zeros, e.g. U303x0): \"";
  const std::string port = "not a serial port (COM<n>, n a 32-bit decimal number, e.g. COM3 or COM-5): \"";
  for (const std::string id : {"u303x0", "U303x00", "U65536x0"}) cases.push_back({{"units", "show", id}, unit + id + "\""});
  for (const std::string id : {"com3", "COM-0", "COM2147483648"}) cases.push_back({{"link", "U1x1", id}, port + id + "\""});
  for (const auto& [args, message] : cases) RunSteps({{args, 2, "", "kvodev: " + message + "\n"}});
  EXPECT_EQ(Files(data_.path()), (std::map<std::string, std::string>{{"plain", "a file"}}));
  RunSteps({{{"--json", "units", "add"}, 2, R"({"error":"missing operands)" + usage + "\"}\n"},
            {{"--json", "--data-dir", "%D/none", "units"}, 2, R"({"error":"the data directory does not exist: \"%D/none\""})" "\n"}});
  const Result fromEnvironment = Run({"units"}, "KVO_DATA_DIR=" + Quoted(Dir() + "/none"));  // the default must exist too
  EXPECT_EQ(std::tie(fromEnvironment.status, fromEnvironment.err),
            std::tuple(2, Expand("kvodev: the data directory does not exist: \"%D/none\" (create it, or give --data-dir)\n")));
}

// Reading commands change no byte; the schema is printed, or written on demand; a change that is not saved is not claimed.
TEST_F(Kvodev, ReadingWritesNothingAndAChangeNotSavedIsNotClaimed) {
  // One line, no encoding declaration, an empty driver entry: any rewrite by the library changes the bytes.
  const std::string document =
      "<?xml version=\"1.0\"?>" + kSchemaNamed + "<UnitList><Unit UnitID=\"U1x1\"><LinkedInterface ItemID=\"COM1\"/></Unit>"
      "</UnitList><Interfaces><Serial><ComPort PortNo=\"COM1\"><LinkedUnit ItemID=\"U1x1\"/></ComPort></Serial>"
      "</Interfaces><DriverList><File/><File>a.so</File></DriverList></Devices>";
  Write("kvoDevice.xml", document);
  Write("kvoDevice.xsd", "outdated");
  const std::map<std::string, std::string> files = Files(data_.path());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"units"}, {"units", "--skip-excluded"}, {"units", "exists", "U1x1"}, {"ports", "U1x1"}, {"drivers"}, {"graph"}}) {
    EXPECT_EQ(Run(args).status, 0) << args[0];
    EXPECT_EQ(Files(data_.path()), files) << args[0];
  }
  const std::string schema = Run({"schema", "--print"}).out;
  EXPECT_EQ(Files(data_.path()), files);
  RunSteps({{{"schema"}, 0, "wrote %D/kvoDevice.xsd (" + std::to_string(schema.size()) + " bytes)\n"}});
  EXPECT_EQ(Read("kvoDevice.xsd"), schema);
  ASSERT_EQ(Run({"check"}).status, 0);  // opens as a host does
  // Every writer takes the lock first: without it no save can succeed, also for root.
  fs::remove(Path("kvoDevice.lock"));
  fs::create_directory(Path("kvoDevice.lock"));
  const std::string notSaved =
      "the change was not saved: the configuration cannot be locked: cannot open the lock file %D/kvoDevice.lock: Is a directory";
  RunSteps({
      {{"units", "add", "9", "9"}, 1, "", "kvodev: " + notSaved + "\n"},
      {{"units", "add", "9", "9", "--json"}, 1, R"({"unit":"U9x9","added":false,"error":")" + notSaved + "\"}\n"},
      {{"units", "add", "1", "1"}, 1, "", "kvodev: U1x1 is listed already\n"},  // nothing to save
  });
  EXPECT_EQ(Read("kvoDevice.xml"), document);
}

TEST_F(Kvodev, CheckTellsWhatTheOpeningDid) {
  // A damaged document: reading refuses and changes nothing; check keeps it as the backup.
  Write("kvoDevice.xml", "<Devices>");
  // The parse error's three items, on one line for a reading command, one a line for check.
  const auto parseError = [](const char* separator) {
    return std::string("parse error: 4d (77: the document is not well-formed XML)") + separator + "in line: 1 col: 10" +
           separator + "Premature end of data in tag Devices line 1";
  };
  RunSteps({{{"units"}, 5, "", "kvodev: %D/kvoDevice.xml could not be loaded (" + parseError("; ") +
                                   "); nothing was changed ('kvodev check' keeps it as the backup and starts a default document)\n"},
            {{"check"}, 3, "recovered: %D/kvoDevice.xml could not be loaded\nbackup: %D/kvoDevice.xml.bak\nmessage: " +
                               parseError("\n  ") +
                               "\na default document replaces it\nschema written: %D/kvoDevice.xsd\n"
                               "findings in %D/kvoDevice.xml.bak:\n  line 1: the document is not well-formed XML: "
                               "Premature end of data in tag Devices line 1\n  line 1: the element Devices is not closed before the file ends\n"}});
  EXPECT_EQ(Read("kvoDevice.xml.bak"), "<Devices>");
  // A command that changes a damaged document notes on standard error that it was replaced.
  Write("kvoDevice.xml", "<Devices>");
  RunSteps({{{"units", "add", "1", "1"}, 0, "added U1x1\n",
             "kvodev: note: %D/kvoDevice.xml could not be loaded: it is kept as %D/kvoDevice.xml.bak, "
             "and a default document that names the reason replaces it\n"}});
  // A damaged unit list: loaded, but the answer is false.
  Write("kvoDevice.xml", "<Devices><UnitList><Unit UnitID=\"U1x1\"/><Unit/></UnitList></Devices>");
  fs::remove(Path("kvoDevice.xml.bak"));
  RunSteps({{{"check"}, 1, "loaded %D/kvoDevice.xml: 1 unit\nfindings in %D/kvoDevice.xml:\n  line 1: a unit without UnitID\n",
             "kvodev: the unit list is damaged: the library could not read every unit\n"},
            {{"units"}, 1, "UNIT  DEVICE  INDEX\nU1x1       1      1\n",
             "kvodev: the unit list is damaged: only the units before the damage are listed\n"}});
  // Gave up: the damaged document cannot be backed up.
  Write("kvoDevice.xml", "<Devices>");
  fs::create_directory(Path("kvoDevice.xml.bak"));
  const std::string backupFails = "the damaged document cannot be backed up: cannot replace %D/kvoDevice.xml.bak: Is a directory";
  RunSteps({{{"check"}, 4, "gave up: " + backupFails + "\nschema written: %D/kvoDevice.xsd\nfindings in %D/kvoDevice.xml:\n"
                          "  line 1: the document is not well-formed XML: Premature end of data in tag Devices line 1\n"
                          "  line 1: the element Devices is not closed before the file ends\n"},
            {{"units", "add", "1", "1"}, 1, "", "kvodev: the configuration could not be opened: " + backupFails + " ('kvodev check' tells more)\n"}});
}

TEST_F(Kvodev, CheckFindsWhatIsWrongWithItsLineAndADryRunWritesNothing) {
  Write("kvoDevice.xml", Data("every-finding.xml"));
  const Json json = RunJson({"check", "--dry-run"});
  EXPECT_EQ((Json{json["outcome"], json["wouldOutcome"], json["schemaWritten"], json["schemaWouldBeWritten"]}),
            (Json{nullptr, "loaded", false, true}))
      << "a dry run says what would happen apart from what did";
  std::vector<std::pair<std::string, std::int64_t>> found;
  for (const Json& finding : json["findings"]) found.emplace_back(finding["kind"], finding["line"]);
  // The schema is checked always, also where the document does not name it (line 4).
  EXPECT_EQ(found, (decltype(found){{"unit-side-only", 2}, {"link-to-missing-port", 2}, {"malformed-unit-id", 3},
                                    {"not-valid", 4}, {"duplicate-unit-id", 4}, {"port-side-only", 6},
                                    {"link-to-missing-unit", 6}, {"driver-case-twin", 8}, {"link-to-missing-unit", 9}}))
      << json;
  EXPECT_EQ(Files(data_.path()).size(), 1u);
  // Two units on one port, and an active set that is not there.
  Write("kvoDevice.xml", Data("shared-port.xml"));
  RunSteps({{{"check", "--dry-run"}, 0, "would load %D/kvoDevice.xml: 2 units\nschema would be written: %D/kvoDevice.xsd\n"
             "findings in %D/kvoDevice.xml:\n  line 3: U2x2 links to COM1, which does not link back (the unit side only)\n"
             "  line 5: COM1 is linked to more than one unit: U1x1, U2x2\n"
             "  line 7: the active set \"Fluo\" is not there: no set is active\n"},
            {{"sets", "--json"}, 0, "{\"sets\":[],\"active\":null}\n"}});
  // A missing end tag: the parser's first error, and where the element opens that is not closed.
  Write("kvoDevice.xml", Lines({"<Devices><UnitList><!-- <a> -->", "<Unit UnitID=\"U1x1\"><Driver/><Model t=\"/>\">M", "<UnitName>N</UnitName></Unit>",
                                "</UnitList></Devices>"}));
  EXPECT_TRUE(Like(Run({"check", "--dry-run"}).out,
                   "*kvoDevice.xml:\n  line 2: the element Model is not closed: </Unit> at line 3 closes the element "
                   "around it\n  line 3: the document is not well-formed XML: Opening and ending tag mismatch: Model line 2 and Unit\n"));
  // An opening checks the schema when the document names it.
  Write("kvoDevice.xml", Lines({kSchemaNamed, "<UnitList>", "<Unit UnitID=\"U1x1\" setup=\"Exclude\"/>", "</UnitList></Devices>"}));
  const std::string broken = "Element 'Unit', attribute 'setup': [facet 'pattern'] The value 'Exclude' is not accepted by the pattern "
                             "'include|exclude'.\n";
  RunSteps({{{"check", "--dry-run"}, 3,
             "would recover: %D/kvoDevice.xml cannot be loaded\nwould keep it as: %D/kvoDevice.xml.bak\n"
             "message: parse error: 72f (1839: the document breaks the schema)\n  in line: 3 col: 0\n  " + broken +
             "a default document would replace it\nschema would be written: %D/kvoDevice.xsd\n"
             "findings in %D/kvoDevice.xml:\n  line 3: the document breaks the schema: " + broken}});
  EXPECT_EQ(Files(data_.path()).size(), 1u);
  // A damaged schema beside a valid document: the dry run says what the opening does.
  Write("kvoDevice.xml", Lines({kSchemaNamed, "<UnitList><Unit UnitID=\"U1x1\"/></UnitList></Devices>"}));
  Write("kvoDevice.xsd", "<xs:schema");
  const std::string schemaLine = "schema would be written: %D/kvoDevice.xsd\n";
  RunSteps({{{"check", "--dry-run"}, 0, "would load %D/kvoDevice.xml: 1 unit\n" + schemaLine},
            {{"check"}, 0, "loaded %D/kvoDevice.xml: 1 unit\nschema written: %D/kvoDevice.xsd\n"},
            {{"check", "--dry-run"}, 0, "would load %D/kvoDevice.xml: 1 unit\n"}});
  Write("kvoDevice.xml", Lines({kSchemaNamed, "<UnitList>", "<Unit UnitID=\"U1x1\" setup=\"Exclude\"/>", "</UnitList></Devices>"}));
  // After the recovery the findings are those of the backup, which starts with an XML declaration.
  const Json recovered = RunJson({"check"});
  EXPECT_EQ(std::tie(recovered["findings"][0]["file"], recovered["findings"][0]["line"]), std::tuple(Json("backup"), Json(4)));
}

TEST_F(Kvodev, RepairLinksRemovesOnlyWhatNamesNothingAndRenamesFollowTheLinks) {
  Write("kvoDevice.xml", Data("typos.xml"));
  // A typo on the port side costs the unit nothing; the malformed U0332x0 keeps its links for the rename.
  const std::string changes =
      "  line 2: add the port side of the link from U170x0 to COM3 (COM3 does not link back)\n"
      "  line 2: remove the link of U170x0 to the port COM9, which is not there\n"
      "  line 6: remove the link of COM3 to the unit U171x0, which is not there\n"
      "  line 8: add the unit side of the link from COM2 to U2x2 (U2x2 does not link back)\n"
      "  line 9: remove the unit U5x5, which is not there, from the set \"s\"\n";
  EXPECT_TRUE(Like(Run({"check", "--dry-run", "--repair-links"}).out,
                   Expand("would load %D/kvoDevice.xml: 3 units\nschema would be written: *\nwould repair 5 links:\n" + changes + "findings*")));
  EXPECT_EQ(Files(data_.path()).size(), 1u);
  EXPECT_EQ(RunJson({"check", "--dry-run", "--repair-links"})["repairs"][4],
            Json::parse(R"({"action":"remove-set-member","unit":"U5x5","port":null,"set":"s","line":9,)"
                        R"("text":"remove the unit U5x5, which is not there, from the set \"s\""})"));
  EXPECT_TRUE(Like(Run({"check", "--repair-links"}).out,
                   Expand("loaded %D/kvoDevice.xml: 3 units\nschema written: %D/kvoDevice.xsd\n"
                          "repaired 5 links; the document before the repair is kept as version 1 (*):\n" + changes + "findings*")));
  const std::string diff = Run({"diff", "1"}).out;
  EXPECT_EQ(diff.substr(diff.find("\n~")),
            "\n~ unit U170x0 (line 2 -> 4): link to COM9 removed\n~ unit U2x2 (line 4 -> 10): link to COM2 added\n"
            "~ port COM3 (line 6 -> 16): link to U170x0 added; link to U171x0 removed\n~ set \"s\" (line 9 -> 30): member U5x5 removed\n");
  EXPECT_TRUE(Like(Run({"check", "--repair-links"}).out,
                   "*\nno links to repair\n*U0332x0 names no unit (*); rename it: kvodev units rename U0332x0 U332x0\n"
                   "*COM4 links to the unit U332x0, which the unit list writes U0332x0\n*"));
  RunSteps({{{"units", "rename", "U0332x0", "U332x0"}, 0, "renamed U0332x0 to U332x0, with its links and set memberships\n"},
            {{"units", "rename", "U0332x0", "U333x0"}, 1, "", "kvodev: no unit has the id \"U0332x0\"\n"},
            {{"units", "rename", "U2x2", "U170x0"}, 1, "", "kvodev: U170x0 is listed already\n"},
            {{"--json", "sets", "show", "s"}, 0, "{\"name\":\"s\",\"comment\":\"\",\"active\":true,\"members\":[\"U170x0\",\"U332x0\"]}\n"},
            {{"link", "U2x2", "COM3"}, 1, "", "kvodev: COM3 belongs to U170x0 ('--force' moves it)\n"},
            {{"link", "U2x2", "COM3", "--force"}, 0, "linked U2x2 and COM3 (moved from U170x0)\n"},
            {{"sets", "rename", "s", "s"}, 1, "", "kvodev: a set \"s\" exists already\n"},
            {{"sets", "rename", "s", "t"}, 0, "renamed set \"s\" to \"t\"\n"},
            {{"sets", "--no-headers", "--tabs"}, 0, "*\tt\t2\t\n"},
            {{"sets", "delete", "t"}, 0, "deleted set \"t\"\n"},
            {{"sets", "delete", "t"}, 1, "", "kvodev: there is no set \"t\"\n"},
            {{"--json", "sets"}, 0, "{\"sets\":[],\"active\":null}\n"}});
  const Json after = RunJson({"check", "--dry-run"});
  EXPECT_EQ(after["findings"], Json::array()) << after;
  RunSteps({{{"ports", "--no-headers", "--tabs"}, 0, "COM3\tSerial\tU2x2\nCOM4\tSerial\tU332x0\nCOM2\tSerial\tU2x2\n"},
            {{"units", "--long", "--no-headers", "--tabs"}, 0,
             "U170x0\t170\t0\t-\t-\t-\t-\nU332x0\t332\t0\t-\t-\t-\tCOM4\nU2x2\t2\t2\t-\t-\t-\tCOM2,COM3\n"}});
}

TEST_F(Kvodev, HistoryDiffAndRestore) {
  Write("kvoDevice.xml", kExample);
  RunSteps({{{"diff"}, 2, "", "kvodev: the history %D/kvoDevice.history keeps no versions\n"}});
  const std::pair<std::vector<std::string>, std::string> changes[] = {  // each against the version it replaced
      {{"units", "add", "9", "9"}, "+ unit U9x9 (line 30)\n"},
      {{"units", "remove", "U170x0"}, "- unit U170x0 (line 22): setup \"exclude\", model \"Camera adapter 170 (spare)\"\n"},
      {{"unlink", "U303x0", "COM3"}, "~ unit U303x0 (line 5 -> 5): link to COM3 removed\n~ port COM3 (line 31 -> 30): link to U303x0 removed\n"},
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
  const Json versions = RunJson({"history"})["versions"];
  EXPECT_EQ(std::tie(versions.at(1)["units"], versions.at(4)["number"], versions.at(4)["reason"]), std::tuple(Json(6), Json(5), Json("save")));
  // The last row: number, id, time, why, units, bytes, file.
  std::string history = Run({"history"}).out;
  std::replace_if(history.begin(), history.end(), [](char c) { return c >= '0' && c <= '9'; }, '9');
  EXPECT_TRUE(Like(history, "*\n9  99999999T999999*  9999-99-99 99:99:99 UTC  save      9  *  99999999T999999.999999999Z-save.xml\n"));
  // A restore round trip, by the first version's short id; the document it replaced is the newest version.
  const std::string id = versions.at(0)["shortId"];
  EXPECT_EQ(versions.at(0)["id"].get<std::string>().substr(0, id.size()), id);
  EXPECT_TRUE(Like(Run({"restore", id}).out, Expand("restored version 1 (*, save) as %D/kvoDevice.xml: 5 units\n"
                                                     "the document it replaced is kept as version 6 (*, restore)\n")));
  EXPECT_EQ(Read("kvoDevice.xml"), kExample);
  const Json undone = RunJson({"diff"})["units"];
  EXPECT_EQ(std::tie(undone["removed"][0]["unit"], undone["added"][0]["unit"], undone["added"][1]["unit"]),
            std::tuple(Json("U9x9"), Json("U303x1"), Json("U170x0")));
  EXPECT_EQ(undone["added"][0]["setup"], Json(nullptr));  // as units show gives a setup that is not there
  // Files by name or path; edits of values, comments and the active set; a file that breaks the schema is not restored.
  std::string other = kExample;
  for (const auto& [from, to] : {std::pair{"Motorised stage 303", "Stage 303"}, {"\"Brightfield\"/>", "\"Fluorescence\"/>"},
                                 {"Both stages and the adapter", "Both stages"}, {"ST-30317", "ST-3"}})
    other.replace(other.find(from), std::string(from).size(), to);
  Write("other.xml", other);
  Write("dup.xml", kSchemaNamed + "<UnitList><Unit UnitID=\"U1x1\"/>\n<Unit UnitID=\"U1x1\"/></UnitList></Devices>");
  Write("one.xml", kSchemaNamed + "<UnitList><Unit UnitID=\"U1x1\"/></UnitList></Devices>");
  Write("bad.xml", kSchemaNamed + "<UnitList><Unit UnitID=\"U1x1\" setup=\"Exclude\"/></UnitList></Devices>");
  RunSteps({{{"diff", "kvoDevice.xml", "%D/other.xml"}, 1,
             "--- %D/kvoDevice.xml\n+++ %D/other.xml\n~ unit U303x0 (line 5 -> 5): model \"Motorised stage 303\" -> \"Stage 303\"; serial number \"ST-30317\" -> \"ST-3\"\n"
             "~ set \"Fluorescence\" (line 56 -> 56): comment \"Both stages and the adapter\" -> \"Both stages\"\n"
             "~ active set: \"Brightfield\" -> \"Fluorescence\"\n"},
            {{"diff", "%D/dup.xml", "%D/one.xml"}, 1, "--- %D/dup.xml\n+++ %D/one.xml\n- unit U1x1 (line 2)\n",
             "kvodev: note: %D/dup.xml is not valid: the document breaks the schema: Element 'Unit', attribute 'UnitID': "
             "'U1x1' is not a valid value of the atomic type 'xs:ID'.\n"},
            {{"diff", "7"}, 2, "", "kvodev: no version 7 in the history: it holds 6 (kvodev history lists them; ./7 names a file)\n"},
            {{"restore", "bad.xml"}, 1, "", "kvodev: not restored: the version is not a valid document: line 1: Element 'Unit', attribute "
                                            "'setup': [facet 'pattern'] The value 'Exclude' is not accepted by the pattern 'include|exclude'.\n"}});
  EXPECT_EQ(Read("kvoDevice.xml"), kExample);
  // A file fewer users may read than the document: only with --yes.
  fs::permissions(Path("other.xml"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(Like(Run({"restore", "other.xml"}).err, "kvodev: not restored: the version is owned by user * with mode 0600; "
                                                      "as the document (* mode 06?4) it would be readable by more users; "
                                                      "restore it with --yes\n"));
  EXPECT_EQ(Read("kvoDevice.xml"), kExample);
  EXPECT_EQ(Run({"restore", "--yes", "other.xml"}).status, 0);
  EXPECT_EQ(Read("kvoDevice.xml"), other);
}

TEST_F(Kvodev, CapabilityTableAndIniDescriptions) {
  Write("c.ini", "[Cam]\nID=7\nTag=t\nPosition=2,3\nuseShading=0\nuseRTCTrigger=1\n");
  RunSteps({
      {{"--feature", "ACQ_ENABLE_HDRI", "caps", "--ini", kCameras, "--device", "170", "--device", "1202", "--device", "65535"}, 0,
       "yes: available   no: not available   *: an INI setting decided, not the built-in table\n"
       "?: neither the built-in table nor an INI file describes the device; its answers are defaults\n"
       "HDRI follows the feature ACQ_ENABLE_HDRI, which is on\n\n"
       "DEVICE  Shading  CustomGray  Splitting  AutoExp  WhiteBal  BlackBal  Accum  HDRI  SECTION\n"
       "  170   no*      no          yes        yes      no        no        no     yes   Adapter 170 without shading\n"
       " 1202   yes*     yes*        yes        yes      no*       no        yes*   yes   Monochrome camera 1202\n"
       "65535?  yes      yes         yes        yes      yes       no        no     yes\n"},
      {{"ini", "--ini", "%D/c.ini"}, 0,
       "DEVICE  SECTION  TAGS  POSITIONS  RTC  PROCESSING\n     7  Cam      t     2,3        yes  Shading=no\n\n"
       "TAG  DEVICES\nt    7\n\nPOSITION  DEVICES\n       2  7\n       3  7\n"},
      {{"ini", "--ini", "%D/c.ini", "--json"}, 0,
       R"({"iniFiles":["%D/c.ini"],"devices":[{"device":7,"section":"Cam","tags":["t"],"positions":[2,3],"rtcTrigger":true,)"
       R"("processing":[{"type":2,"name":"Shading","enabled":false}]}],"tags":[{"tag":"t","devices":[7]}],)"
       R"("positions":[{"position":2,"devices":[7]},{"position":3,"devices":[7]}]})" "\n"},
      {{"--feature", "DEV_NO_SERVICE_UPDATE", "ini", "--ini", kCameras}, 1, "",
       "kvodev: there is no extended device information while the feature DEV_NO_SERVICE_UPDATE is on\n"},
  });
  const std::string all = Run({"caps", "--all-types", "--device", "303"}).out;  // a column for each type 0 to 31
  EXPECT_TRUE(Like(all, "*\nDEVICE 0   1   2  3   4 * 30 31 SECTION\n  303  yes yes no yes no *")) << all;
  const Json caps = RunJson({"caps", "--device=1202", "--ini=" + kCameras});  // the members a script reads
  EXPECT_EQ(std::tie(caps["hdri"], caps["types"][0], caps["devices"][0]["answers"][0], caps["devices"][0]["answers"][2]),
            std::tuple(Json(false), Json{{"type", 2}, {"name", "Shading"}}, Json{{"type", 2}, {"available", true}, {"iniSetting", true}},
                       Json{{"type", 6}, {"available", true}, {"iniSetting", nullptr}}));
}

// The mistakes, one a line, are in mistakes.ini, and what lint says of them in mistakes.lint.
TEST_F(Kvodev, IniLintWarnsWhereTheReaderDiffersFromTheWriter) {
  Write("a.ini", Data("mistakes.ini"));
  Write("clean.ini", "\xEF\xBB\xBF; comment\r\n[A]\r\nID=1201\r\nuseShading=1\r\nTag=x\r\n");
  Write("utf16.ini", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0I\0D\0=\0y\0", 20));
  Write("nobom.ini", std::string("[\0A\0]\0\n\0I\0D\0=\0001\0", 16));
  RunSteps({
      {{"ini", "--lint", "%D/a.ini"}, 1, Data("mistakes.lint")},
      {{"ini", "--lint", "%D/clean.ini"}, 0, ""},
      {{"ini", "--lint", "%D/utf16.ini", "%D/nobom.ini"}, 1,
       "%D/utf16.ini:2: ID=y: not a number; it reads as device 0\n%D/nobom.ini:1: looks like UTF-16 without a byte-order mark "
       "(many zero bytes): the library finds nothing in it\n"},
      {{"ini", "--lint", "--json", "%D/clean.ini", kCameras}, 0,  // a device in two files is meant to merge
       R"({"warnings":[],"notes":[{"file":")" + kCameras + R"(","line":6,"text":"device 1201 is described already by [A] at )"
       R"(%D/clean.ini:3; the descriptions merge"}]})" "\n"},
      {{"ini", "--lint", kCameras, KVO_EXAMPLES "/positions.ini"}, 0,  // the shipped examples
       KVO_EXAMPLES "/positions.ini:4: note: device 1201 is described already by [Colour camera 1201] at " + kCameras +
           ":6; the descriptions merge\n"},
      {{"ini", "--lint", "%D/clean.ini", "%D/none.ini"}, 2, "", "kvodev: INI file cannot be read: \"%D/none.ini\"\n"},
      {{"ini", "%D/a.ini"}, 2, "", "kvodev: FILE operands need --lint: usage: kvodev ini --lint FILE...\n"},
  });
}

TEST_F(Kvodev, GraphDrawsLinksAndMembershipsWithQuotedNames) {
  for (const std::vector<std::string>& change : std::vector<std::vector<std::string>>{
           {"units", "add", "U303x0"}, {"units", "add", "U7x1"}, {"units", "set", "U303x0", "--name", "say \"hi\" \\n"}, {"link", "U303x0", "COM3"},
           {"link", "U7x1", "COM4"}, {"sets", "create", "A \"b\""}, {"sets", "add", "A \"b\"", "U7x1"}, {"sets", "activate", "A \"b\""}})
    ASSERT_EQ(Run(change).status, 0) << change[0];
  // A link on the unit's side alone, to a port the document lacks.
  std::string document = Read("kvoDevice.xml");
  Write("kvoDevice.xml", document.replace(document.find("COM3\"/>"), 4, "COM9"));
  const Result graph = Run({"graph"});
  for (const std::string line : {R"(  "unit U303x0" [label="U303x0\nsay \"hi\" \\n", shape=box];)",
                                 R"(  "set A \"b\"" [label="A \"b\"", shape=folder, peripheries=2];)",
                                 R"(  "set A \"b\"" -> "unit U7x1" [style=dotted];)", R"(  "unit U7x1" -> "port COM4" [dir=none];)",
                                 R"(  "unit U303x0" -> "port COM9" [style=dashed, label="unit side only"];)",
                                 R"x(  "port COM9" [color=red, label="COM9\n(missing)"];)x"})
    EXPECT_NE(graph.out.find(line + "\n"), std::string::npos) << line << "\n" << graph.out;
  const Result svg = Run({"--data-dir", "%D", "graph", "--svg"}, "PATH=/nonexistent");
  EXPECT_EQ(std::tie(graph.status, svg.status, svg.err),
            std::tuple(0, 2, "kvodev: graph --svg needs Graphviz's dot on PATH (without --svg: DOT text)\n"));
}

TEST_F(Kvodev, HelpForEveryCommandAndAnOutputThatCannotBeWritten) {
  EXPECT_EQ(Run({"help"}).out, Run({"--help"}).out);
  // Every command and subcommand the help lists has its usage and an example, by help and by --help alike,
  // and the manual page and the shell completion know it too.
  const std::string manual = ReadFile(KVODEV_SOURCES "/kvodev.1"), completion = ReadFile(KVODEV_SOURCES "/kvodev.bash-completion");
  const auto listed = [this](std::vector<std::string> words) {
    words.insert(words.begin(), "help");
    const std::string help = Run(words).out;
    std::vector<std::string> commands;
    std::istringstream lines(help.substr(std::min(help.size(), help.find("\nCommands:\n") + 11)));
    for (std::string line; help.find("\nCommands:\n") != std::string::npos && std::getline(lines, line) && line.starts_with("  ");)
      commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    return commands;
  };
  std::size_t checked = 0;
  for (const std::string& word : listed({})) {
    if (word == "help") continue;
    std::vector<std::vector<std::string>> commands{{word}};
    for (const std::string& sub : listed({word})) commands.push_back({word, sub});
    for (std::vector<std::string> words : commands) {
      const std::string command = words.size() == 1 ? word : word + " " + words[1];
      EXPECT_TRUE(manual.find(".B " + command + "\n") != std::string::npos || manual.find(".BI \"" + command + " ") != std::string::npos ||
                  manual.find(".BR " + command + " ") != std::string::npos || manual.find("\"" + command + " \\fI") != std::string::npos ||
                  manual.find("\\fP" + command + " ") != std::string::npos || manual.find("\"" + command + "\"") != std::string::npos)
          << command;
      // A subcommand is offered after its command's word.
      EXPECT_TRUE(Like(words.size() == 1 ? completion : completion.substr(completion.find("  " + word + ")")),
                       (words.size() == 1 ? "* " : "*candidates=*[\" ]") + words.back() + "[ \"]*"))
          << command;
      words.insert(words.begin(), "help");
      const Result help = Run(words);
      EXPECT_EQ(help.status, 0) << command;
      EXPECT_TRUE(Like(help.out, "*\nusage: kvodev " + command + "*\nexample:\n  kvodev *")) << help.out;
      // And so does every option it takes.
      std::istringstream lines(help.out);
      for (std::string line; std::getline(lines, line);)
        if (const std::string option = line.substr(0, line.find(' ', 2)).substr(std::min<std::size_t>(2, line.size()));
            line.starts_with("  --")) {
          EXPECT_TRUE(Like(completion, "*[\" ]" + option + "[ \"]*")) << command << " " << option;
          std::string escaped;  // as roff writes it: \-\-yes
          for (const char c : option) c == '-' ? escaped.append("\\-") : escaped.append(1, c);
          EXPECT_NE(manual.find(escaped), std::string::npos) << command << " " << option;
        }
      words.erase(words.begin());
      words.push_back("--help");
      EXPECT_EQ(Run(words).out, help.out) << command;
      ++checked;
    }
  }
  EXPECT_GT(checked, 30u);
  RunSteps({{{"--version"}, 0, "kvodev 0.1.0\n"}, {{"--version", "--json"}, 0, "{\"version\":\"0.1.0\"}\n"}});
  // A result that cannot be written is no success.
  const int status = std::system((Quoted(KVODEV) + " --data-dir " + Quoted(Dir()) + " caps >/dev/full 2>/dev/null").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 6) << status;
}

}  // namespace
