// The links of a document, both ways, for finding and repairing the links
// that have one side only or name nothing.
#pragma once

#include <kvodevice/CString.h>
#include <kvodevice/ConfigurationContent.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/xml/Dom.h"

namespace dev {

// Whether `node` is an element named `name`.
bool IsNamed(const platform::xml::Node& node, const CString& name);
// The elements named `name` among the children of `parent`, in order; none for a null parent.
std::vector<platform::xml::Node> Children(const platform::xml::Node& parent, const CString& name);
// The first child element `name` of `parent`; null for a null parent.
platform::xml::Node ChildOf(const platform::xml::Node& parent, const CString& name);
// The first child element `name` of `parent` whose `attribute` is `value`; null for a null parent.
platform::xml::Node ChildWith(const platform::xml::Node& parent, const CString& name, const CString& attribute,
                              const std::wstring& value);

// Reads units, ports, driver files and sets below the document element.
void ReadTree(const platform::xml::Node& devices, DocumentContent& content);

// What `file`, read from `path`, holds and what is wrong in it (see
// ReadDocumentContent). `validated`: the bytes are known to match the
// schema the library writes, so they are not validated again.
DocumentContent ContentOf(const platform::FileContent& file, const std::wstring& path, bool validated);

// CompareContent inside the library: running out of memory is thrown, not answered.
DocumentChanges Compare(const DocumentContent& a, const DocumentContent& b);

class LinkMap {
 public:
  explicit LinkMap(const DocumentContent& content) {
    for (const UnitEntry& unit : content.units)
      if (unit.hasId) unitPorts_[unit.id].insert(unit.ports.begin(), unit.ports.end());
    for (const PortEntry& port : content.ports) portUnits_[port.portNo].insert(port.units.begin(), port.units.end());
  }
  bool HasUnit(const std::wstring& unit) const { return unitPorts_.contains(unit); }
  bool HasPort(const std::wstring& port) const { return portUnits_.contains(port); }
  // The unit links to the port / the port links to the unit.
  bool UnitLinks(const std::wstring& unit, const std::wstring& port) const { return Holds(unitPorts_, unit, port); }
  bool PortLinks(const std::wstring& port, const std::wstring& unit) const { return Holds(portUnits_, port, unit); }

 private:
  using Links = std::map<std::wstring, std::set<std::wstring>>;
  static bool Holds(const Links& links, const std::wstring& from, const std::wstring& to) {
    const auto it = links.find(from);
    return it != links.end() && it->second.contains(to);
  }
  Links unitPorts_, portUnits_;
};

}  // namespace dev
