// What changed between two documents, by what they say rather than by their
// text: items are matched by their names (unit ids, port numbers, driver file
// names, set names), and the order of links and members does not count.
#pragma once

#include <kvodevice/ConfigurationContent.h>

#include <optional>
#include <string>
#include <vector>

namespace kvodev {

struct ValueChange {
  std::string field;      // "setup", "driver", "model", "name", "serialNo", "comment", "activeSet"
  std::wstring from, to;  // empty: absent
};

// Names on one side only, such as the ports a unit links to.
struct ListChange {
  std::vector<std::wstring> added, removed;
  bool empty() const { return added.empty() && removed.empty(); }
};

struct UnitChange {
  dev::UnitEntry a, b;
  std::vector<ValueChange> values;
  ListChange ports;
};

struct PortChange {
  dev::PortEntry a, b;
  ListChange units;
};

struct SetChange {
  dev::SetEntry a, b;
  std::optional<ValueChange> comment;
  ListChange members;
};

// Removed: in A only; added: in B only; changed: in both, different.
template <typename Entry, typename Change>
struct Changes {
  std::vector<Entry> removed, added;
  std::vector<Change> changed;
  bool empty() const { return removed.empty() && added.empty() && changed.empty(); }
};

struct DocumentDiff {
  Changes<dev::UnitEntry, UnitChange> units;
  Changes<dev::PortEntry, PortChange> ports;
  Changes<dev::DriverEntry, int> drivers;  // a driver file is there or not
  Changes<dev::SetEntry, SetChange> sets;
  std::optional<ValueChange> activeSet;
  std::optional<bool> setListAdded;  // the Sets element itself came (true) or went (false)
  bool empty() const;
};

DocumentDiff Compare(const dev::DocumentContent& a, const dev::DocumentContent& b);

}  // namespace kvodev
