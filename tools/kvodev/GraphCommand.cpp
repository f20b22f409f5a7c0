// graph: the configuration as Graphviz DOT, or as SVG through dot(1).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "Commands.h"
#include "Configuration.h"
#include "Dot.h"
#include "Errors.h"
#include "platform/ScratchDirectory.h"
#include "Utf8.h"

namespace kvodev {
namespace {

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

}  // namespace

Report RunGraph(Context& ctx) {
  // Refused before anything is read: without dot there is nothing to give.
  const std::string dot = ctx.args.svg ? FindDot() : std::string();
  if (ctx.args.svg && dot.empty()) throw InputError("graph --svg needs Graphviz's dot on PATH (without --svg: DOT text)");
  Configuration config(ctx.dataDir, Configuration::Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  const std::string graph = ConfigurationDot(ReadContent(config));
  Report report;
  if (ctx.args.svg) {
    const std::string svg = DotToSvg(dot, graph, report.error);
    report.data["svg"] = report.error.empty() ? Json(svg) : Json(nullptr);
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

}  // namespace kvodev
