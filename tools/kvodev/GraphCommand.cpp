// graph: the configuration as Graphviz DOT, or as SVG through dot(1).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "Commands.h"
#include "Configuration.h"
#include "Dot.h"
#include "Errors.h"
#include "Json.h"
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

int PipeThroughDot(const std::string& dot, const std::string& graph) {
  std::cout.flush();
  FILE* pipe = popen((ShellQuoted(dot) + " -Tsvg").c_str(), "w");
  if (pipe == nullptr) {
    Complain("cannot run " + dot);
    return False;
  }
  const bool written = std::fwrite(graph.data(), 1, graph.size(), pipe) == graph.size();
  const int status = pclose(pipe);
  if (written && status == 0) return Success;
  Complain(dot + " -Tsvg failed");
  return False;
}

}  // namespace

int RunGraph(Context& ctx) {
  // Refused before anything is read: without dot there is nothing to give.
  const std::string dot = ctx.args.svg ? FindDot() : std::string();
  if (ctx.args.svg && dot.empty()) throw InputError("graph --svg needs Graphviz's dot on PATH (without --svg: DOT text)");
  Configuration config(ctx.dataDir, Configuration::Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  std::error_code code;
  dev::DocumentContent content;
  std::wstring path;
  if (fs::exists(config.files().document, code) && DecodeUtf8(config.files().document.string(), path))
    content = dev::ReadDocumentContent(path);
  const std::string graph = ConfigurationDot(content);
  if (ctx.args.svg) return PipeThroughDot(dot, graph);
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("dot", graph).EndObject();
  else
    std::cout << graph;
  return Success;
}

}  // namespace kvodev
