// The configuration as a Graphviz graph: units, serial ports and sets as
// nodes, port links and set memberships as edges.
#pragma once

#include <kvodevice/ConfigurationContent.h>

#include <string>
#include <string_view>

namespace kvodev {

// `text` as a quoted DOT id: quotes and backslashes escaped (a backslash
// would otherwise start an escape in labels), line ends as \n.
std::string DotQuoted(std::string_view utf8);

// A link agreed on by both sides is a plain line; one side only is dashed
// and says which; an item that a link names but the document lacks is red.
std::string ConfigurationDot(const dev::DocumentContent& content);

}  // namespace kvodev
