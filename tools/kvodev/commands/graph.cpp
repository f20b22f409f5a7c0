// graph: the configuration as a Graphviz graph (units, serial ports and sets
// as nodes, port links and set memberships as edges), or as SVG through dot(1).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "commands/Registry.h"
#include "platform/ScratchDirectory.h"
#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

constexpr Option kSvg{"--svg", Option::Flag, "", "pipe the graph through 'dot -Tsvg'"};

// `text` as a quoted DOT id: quotes and backslashes escaped (a backslash
// would otherwise start an escape in labels), line ends as \n.
std::string DotQuoted(std::string_view utf8) {
  std::string quoted = "\"";
  for (const char c : utf8) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '\n') quoted += "\\n";
    else if (c != '\r') quoted += c;
  }
  return quoted + '"';
}

// Node ids carry their kind, so that a set and a port of one name stay two nodes.
std::string UnitNode(const std::wstring& id) { return DotQuoted("unit " + EncodeUtf8(id)); }
std::string PortNode(const std::wstring& port) { return DotQuoted("port " + EncodeUtf8(port)); }
std::string SetNode(const std::wstring& name) { return DotQuoted("set " + EncodeUtf8(name)); }

void Node(std::ostream& out, const std::string& id, const std::string& label, const char* attributes) {
  out << "  " << id << " [label=" << DotQuoted(label) << ", " << attributes << "];\n";
}

struct Links {
  std::vector<std::pair<std::wstring, std::wstring>> order;  // unit, port
  std::map<std::pair<std::wstring, std::wstring>, int> sides;  // 1 unit side, 2 port side
  void Add(const std::wstring& unit, const std::wstring& port, int side) {
    auto [at, isNew] = sides.emplace(std::pair{unit, port}, 0);
    if (isNew) order.push_back(at->first);
    at->second |= side;
  }
};

void Nodes(std::ostream& out, const dev::DocumentContent& content, std::set<std::string>& declared) {
  for (const dev::UnitEntry& unit : content.units) {
    if (!unit.hasId || !declared.insert(UnitNode(unit.id)).second) continue;
    const std::wstring& name = unit.name.empty() ? unit.model : unit.name;
    Node(out, UnitNode(unit.id), EncodeUtf8(unit.id + (name.empty() ? L"" : L"\n" + name)),
         unit.setup == L"exclude" ? "shape=box, style=dotted" : "shape=box");
  }
  for (const dev::PortEntry& port : content.ports)
    if (declared.insert(PortNode(port.portNo)).second)
      Node(out, PortNode(port.portNo), EncodeUtf8(port.portNo), "shape=ellipse");
  for (const dev::SetEntry& set : content.sets)
    if (declared.insert(SetNode(set.name)).second)
      Node(out, SetNode(set.name), EncodeUtf8(set.name),
           set.name == content.activeSet ? "shape=folder, peripheries=2" : "shape=folder");
}

// A link agreed on by both sides is a plain line; one side only is dashed
// and says which; an item that a link names but the document lacks is red.
std::string ConfigurationDot(const dev::DocumentContent& content) {
  std::ostringstream out;
  out << "digraph kvodevice {\n  rankdir=LR;\n";
  std::set<std::string> declared;
  Nodes(out, content, declared);
  Links links;
  for (const dev::UnitEntry& unit : content.units)
    for (const std::wstring& port : unit.ports) links.Add(unit.id, port, 1);
  for (const dev::PortEntry& port : content.ports)
    for (const std::wstring& unit : port.units) links.Add(unit, port.portNo, 2);
  std::map<std::string, std::wstring> missing;  // node, the name it stands for
  const auto use = [&](const std::string& node, const std::wstring& name) {
    if (!declared.contains(node)) missing.emplace(node, name);
    return node;
  };
  for (const auto& link : links.order) {
    const int sides = links.sides[link];
    out << "  " << use(UnitNode(link.first), link.first) << " -> " << use(PortNode(link.second), link.second)
        << (sides == 3 ? " [dir=none]" : sides == 1 ? " [style=dashed, label=\"unit side only\"]"
                                                    : " [style=dashed, label=\"port side only\"]")
        << ";\n";
  }
  for (const dev::SetEntry& set : content.sets)
    for (const std::wstring& member : set.members)
      out << "  " << SetNode(set.name) << " -> " << use(UnitNode(member), member) << " [style=dotted];\n";
  for (const auto& [node, name] : missing)
    out << "  " << node << " [color=red, label=" << DotQuoted(EncodeUtf8(name) + "\n(missing)") << "];\n";
  out << "}\n";
  return out.str();
}

// dot(1) as found on PATH; empty when it is not there.
std::string FindDot() {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    const std::string dir(dirs.substr(0, colon));
    dirs = colon == std::string_view::npos ? "" : dirs.substr(colon + 1);
    const std::string candidate = (dir.empty() ? "." : dir) + "/dot";
    if (access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate)) return candidate;
  }
  return {};
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The graph as SVG from dot(1), which reads it from a scratch file so that
// its output alone comes through the pipe. Sets `error` when it gives none.
std::string DotToSvg(const std::string& dot, const std::string& graph, std::string& error) {
  const platform::ScratchDirectory scratch("kvodev");
  const fs::path input = scratch.path() / "graph.dot";
  if (!(std::ofstream(input, std::ios::binary) << graph)) {
    error = "cannot write " + input.string();
    return {};
  }
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      popen((ShellQuoted(dot) + " -Tsvg " + ShellQuoted(input.string())).c_str(), "r"), pclose);
  if (pipe == nullptr) {
    error = "cannot run " + dot;
    return {};
  }
  std::string svg;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) svg.append(buffer, got);
  if (pclose(pipe.release()) != 0) error = dot + " -Tsvg failed";
  return error.empty() ? svg : std::string();
}

// The document's content as it is on disk; none when there is no document.
dev::DocumentContent ReadContent(const Configuration& config) {
  std::error_code code;
  std::wstring path;
  if (fs::exists(config.files().document, code) && DecodeUtf8(config.files().document.string(), path))
    return dev::ReadDocumentContent(path);
  return {};
}

Report RunGraph(Context& ctx) {
  // Refused before anything is read: without dot there is nothing to give.
  const bool svg = ctx.Has(kSvg);
  const std::string dot = svg ? FindDot() : std::string();
  if (svg && dot.empty()) throw InputError("graph --svg needs Graphviz's dot on PATH (without --svg: DOT text)");
  Configuration config(ctx.dataDir, Configuration::Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  const std::string graph = ConfigurationDot(ReadContent(config));
  Report report;
  if (svg) {
    const std::string text = DotToSvg(dot, graph, report.error);
    report.data["svg"] = report.error.empty() ? Json(text) : Json(nullptr);
    if (!report.error.empty()) report.status = False;
  } else {
    report.data["dot"] = graph;
  }
  // The one member, "dot" or "svg", is the text.
  report.text = [](const Json& data, const TextOut& out) {
    if (data.begin()->is_string()) out.out << data.begin()->get<std::string>();
  };
  return report;
}

const Command kGraph{"graph", {}, {&kSvg}, true, RunGraph,
    "units, ports and sets as a Graphviz graph",
    "Prints the configuration as a Graphviz DOT graph: units (boxes; dotted when\n"
    "excluded), serial ports (ellipses) and sets (folders; the active one drawn\n"
    "twice), a line for each unit-port link and a dotted arrow from each set to\n"
    "its members. A link on one side only is dashed and says which side; an item\n"
    "that a link names but the document lacks is red.\n\n"
    "With --svg the graph goes through 'dot -Tsvg' (exit status 2 when dot is not\n"
    "on PATH).\n\n"
    "example:\n  kvodev graph --svg > configuration.svg\n"};

}  // namespace

std::vector<Command> GraphCommands() { return {kGraph}; }

}  // namespace kvodev
