// Random documents and random operation sequences, written down as a
// transcript: every answer, every list, the file each run leaves. Built twice,
// once with the document index and once with lookups by XPath over the whole
// document; the two transcripts must be the same (Differential.cmake).
//
// The documents hold what the schema lets through and the index must get
// right: malformed unit ids, a Unit without one, links to missing units and
// ports, links twice in one holder, sets of one name, a Set without a Name,
// empty sets, driver files differing in case, an empty File.
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceEditor.h>

#include <algorithm>
#include <iostream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ConfigDir.h"

namespace {

const char* const kUnitIds[] = {"U1x0", "U1x1", "U2x0", "U3x7", "U01x1", "u2x0", "U3X7", "Ux1"};
const char* const kPortIds[] = {"COM1", "COM2", "COM3", "COM01", "com2"};
const char* const kSetNames[] = {"a", "A", "b", "a b", ""};
const char* const kFiles[] = {"x.dll", "X.DLL", "y.sys", "Y.Sys", ""};
const dev::UnitKey kUnits[] = {{1, 0}, {1, 1}, {2, 0}, {3, 7}, {4, 4}, {65535, 0}};
const dev::PortAddress kPorts[] = {{dev::PortSerial, 1}, {dev::PortSerial, 2}, {dev::PortSerial, 3},
                                   {dev::PortSerial, 9}, {dev::PortOther, 1}};

class Run {
 public:
  explicit Run(unsigned seed) : random_(seed) {}

  // Mostly the first two of the pool, so that operations meet what earlier ones made.
  template <typename T, std::size_t N>
  const T& Pick(const T (&pool)[N]) { return pool[Chance(60) ? random_() % 2 : random_() % N]; }
  bool Chance(unsigned percent) { return random_() % 100 < percent; }
  unsigned Below(unsigned n) { return random_() % n; }

  // Ids of `pool` at most once each (the schema's IDs), the first two mostly among them.
  template <std::size_t N>
  std::vector<std::string> Distinct(const char* const (&pool)[N], unsigned most) {
    std::vector<std::string> ids(std::begin(pool), std::end(pool));
    std::shuffle(ids.begin() + 2, ids.end(), random_);
    if (Chance(30)) std::swap(ids[0], ids[2 + Below(N - 2)]);
    ids.resize(Below(most + 1));
    return ids;
  }

  // The links between units and ports: on the unit's side (0), the port's (1) or both.
  struct Link {
    std::string unit, port;
    unsigned sides;
  };
  std::string Side(const std::vector<Link>& links, const std::string& id, bool unitSide) {
    std::string out;
    for (const Link& link : links)
      if ((unitSide ? link.unit : link.port) == id && link.sides != (unitSide ? 1u : 0u))
        out.append(unitSide ? "<LinkedInterface ItemID=\"" : "<LinkedUnit ItemID=\"")
            .append(unitSide ? link.port : link.unit)
            .append("\"/>");
    return out;
  }

  // What the document element holds.
  std::string Body() {
    std::ostringstream xml;
    std::vector<Link> links;
    for (unsigned n = Below(7); n > 0; --n) links.push_back({Pick(kUnitIds), Pick(kPortIds), Below(3)});
    if (Chance(90)) {
      xml << "<UnitList>";
      for (const std::string& id : Distinct(kUnitIds, 6)) {
        xml << "<Unit UnitID=\"" << id << "\"" << (Chance(20) ? " setup=\"exclude\"" : "") << ">";
        if (Chance(50)) xml << "<Model>m" << Below(3) << "</Model>";
        xml << Side(links, id, true) << "</Unit>";
      }
      if (Chance(10)) xml << "<Unit/>";
      xml << "</UnitList>";
    }
    if (Chance(80)) {
      xml << "<Interfaces><Serial>";
      for (const std::string& id : Distinct(kPortIds, 4)) xml << "<ComPort PortNo=\"" << id << "\">" << Side(links, id, false) << "</ComPort>";
      xml << "</Serial></Interfaces>";
    }
    if (Chance(60)) {
      xml << "<DriverList>";
      for (unsigned n = Below(4); n > 0; --n) xml << "<File>" << Pick(kFiles) << "</File>";
      xml << "</DriverList>";
    }
    if (Chance(80)) {
      xml << "<Sets><ActiveSet Name=\"" << Pick(kSetNames) << "\"/>";
      for (unsigned n = Below(4); n > 0; --n) {
        if (Chance(8))
          xml << "<Set>";
        else
          xml << "<Set Name=\"" << Pick(kSetNames) << "\">";
        xml << "<Comment/>";
        for (unsigned n = Below(3); n > 0; --n) xml << "<LinkedUnit ItemID=\"" << kUnitIds[Below(std::size(kUnitIds))] << "\"/>";
        xml << "</Set>";
      }
      xml << "</Sets>";
    }
    return xml.str();
  }

  std::mt19937 random_;
};

std::string Text(const std::wstring& text) { return dev::ToUtf8(text, true).value_or("?"); }
std::string Text(const dev::UnitKey& key) { return Text(dev::FormatUnitId(key)); }
std::string Text(const dev::PortAddress& port) {
  return std::to_string(port.portType) + ":" + std::to_string(port.portNumber);
}
std::string Text(const dev::UnitDetails& unit) {
  std::string out = Text(unit.key);
  out.append("/").append(std::to_string(static_cast<int>(unit.setup)));
  for (int i = 0; i < 4; ++i) out.append("|").append(unit.has[i] ? Text(unit.text[i]) : "-");
  for (const dev::PortAddress& port : unit.ports) out.append(" ").append(Text(port));
  return out;
}
template <typename List>
std::string Text(const List& list) {
  std::string out = "[";
  for (const auto& item : list) out += Text(item) + ",";
  return out + "]";
}

// One document and one sequence of operations; what they answered, in order.
void Transcribe(unsigned seed, std::ostream& out) {
  Run run(seed);
  const testsupport::ConfigDir dir;
  dir.WriteDocument(run.Body());
  testsupport::ConfigPtr config = dir.Open();
  dev::IDeviceManagerIO* io = config.get();
  dev::IDeviceEditor* editor = dev::GetDeviceEditor(io);
  out << "seed " << seed << " opened " << static_cast<int>(dev::GetOpenReport(io).outcome) << "\n";
  for (int step = 0; step < 40; ++step) {
    const dev::UnitKey unit = run.Pick(kUnits);
    const dev::PortAddress port = run.Pick(kPorts);
    const std::wstring set = dev::ToWide(run.Pick(kSetNames)), file = dev::ToWide(run.Pick(kFiles));
    std::vector<dev::UnitKey> keys;
    std::vector<dev::PortAddress> ports;
    std::vector<dev::UnitDetails> units;
    std::vector<std::wstring> names;
    std::set<std::wstring> files;
    dev::UnitDetails details;
    dev::SetDetails members;
    std::wstring active;
    // The answer first, then what the call filled in (never both in one expression:
    // the order in which arguments are evaluated is not fixed).
    const char* op = "";
    bool answer = false;
    std::string what;
    switch (run.Below(33)) {
      case 0: op = "AddUnit", answer = io->AddUnit(unit); break;
      case 1: op = "RemoveUnit", answer = io->RemoveUnit(unit); break;
      case 2: op = "ExistsUnit", answer = io->ExistsUnit(unit); break;
      case 3: op = "GetUnitList", answer = io->GetUnitList(keys, run.Chance(50)), what = Text(keys); break;
      case 4: case 29: case 30: op = "GetUnitPorts", answer = io->GetUnitPorts(unit, ports), what = Text(ports); break;
      case 5: op = "UnlinkUnitPort", answer = io->UnlinkUnitPort(unit, port); break;
      case 6: case 7: case 31: op = "LinkUnitPort", answer = editor->LinkUnitPort(unit, port); break;
      case 8: op = "RemovePort", answer = editor->RemovePort(port); break;
      case 9: op = "GetUnit", answer = editor->GetUnit(unit, details), what = Text(details); break;
      case 10: op = "GetUnits", answer = editor->GetUnits(units, run.Chance(50)), what = Text(units); break;
      case 11: op = "SetUnitText", answer = editor->SetUnitText(unit, dev::UnitText(run.Below(4)), run.Chance(20) ? nullptr : L"t"); break;
      case 12: op = "SetUnitSetup", answer = editor->SetUnitSetup(unit, dev::UnitSetup(run.Below(3))); break;
      case 13: op = "GetSets", answer = editor->GetSets(names), what = Text(names); break;
      case 14: op = "GetSet", answer = editor->GetSet(set, members), what = Text(members.comment) + Text(members.members); break;
      case 15: op = "CreateSet", answer = editor->CreateSet(set, L"c"); break;
      case 16: op = "AddSetMember", answer = editor->AddSetMember(set, unit); break;
      case 17: op = "RemoveSetMember", answer = editor->RemoveSetMember(set, unit); break;
      case 18: op = "SetActiveSet", answer = editor->SetActiveSet(set); break;
      case 19: op = "GetActiveSet", answer = editor->GetActiveSet(active), what = Text(active); break;
      case 20: {
        const std::wstring from = dev::ToWide(run.Pick(kUnitIds));
        op = "RenameUnit", answer = editor->RenameUnit(from, unit), what = Text(from);
        break;
      }
      case 21: op = "RenameSet", answer = editor->RenameSet(set, dev::ToWide(run.Pick(kSetNames))); break;
      case 22: op = "DeleteSet", answer = editor->DeleteSet(set); break;
      case 23: op = "AddDriverFile", answer = io->AddDriverFile(CString(file)); break;
      case 24: op = "RemoveDriverFile", answer = editor->RemoveDriverFile(file); break;
      case 25: op = "GetDriverFiles", answer = io->GetDriverFiles(files), what = Text(files); break;
      case 26: op = "ClearDriverFiles", answer = io->ClearDriverFiles(); break;
      case 27: op = "SetSetComment", answer = editor->SetSetComment(set, L"d"); break;
      case 28: {
        // Another writer saves, and this object saves over it: the merge loads a new document.
        dev::IDeviceManagerIO* other = dev::CreateXMLFile();
        other->AddUnit({7, static_cast<std::uint16_t>(step)});
        dev::GetDeviceEditor(other)->LinkUnitPort({7, static_cast<std::uint16_t>(step)}, port);
        other->Release();
        op = "merged Save", answer = io->Save();
        break;
      }
      default: op = "Refresh", answer = dev::Refresh(io, nullptr); break;
    }
    const std::string line = std::string(op) + " " + Text(unit) + " " + Text(port) + " " + Text(set) + " " + Text(file) +
                             " -> " + (answer ? "true " : "false ") + what;
    out << line << "\n";
  }
  config.reset();
  out << dir.Read("kvoDevice.xml") << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned runs = argc > 1 ? static_cast<unsigned>(std::stoul(argv[1])) : 300;
  for (unsigned seed = 1; seed <= runs; ++seed) Transcribe(seed, std::cout);
}
