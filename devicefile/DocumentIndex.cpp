#include "devicefile/DocumentIndex.h"

#include <kvodevice/Text.h>

#include <algorithm>
#include <array>
#include <utility>

#include "names/XMLNames.h"

namespace dev {
namespace {

using platform::xml::Node;

// Driver file names compare with the letters A to Z in either case; in
// UTF-8 those bytes are never part of another character.
std::string Folded(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool IsLink(DocumentIndex::Kind kind) {
  using Kind = DocumentIndex::Kind;
  return kind == Kind::UnitLink || kind == Kind::PortLink || kind == Kind::SetLink;
}

}  // namespace

std::size_t DocumentIndex::Hash::Of(const KeyView& key) noexcept {
  const std::size_t text = std::hash<std::string_view>()(key.text);
  return text ^ (std::hash<const void*>()(key.holder) * 31 + static_cast<std::size_t>(key.kind));
}

std::string DocumentIndex::Key(std::wstring_view text) {
  // No name in the tree holds the byte 0xFE: it is not UTF-8.
  return ToUtf8(text).value_or("\xfe");
}

bool DocumentIndex::Unchanged(const Mark& mark) const {
  const Mark now = Now();
  return mark.serial == now.serial && mark.changes == now.changes;
}

void DocumentIndex::Follow() {
  if (!dom_) {
    watching_ = {};
    map_.clear();
    serial_ = 0;
    return;
  }
  if (stale_ || pending_.node != nullptr || serial_ != dom_.Serial()) Rebuild();
}

void DocumentIndex::Rebuild() {
  watching_ = {};  // first: the new watch must not be ended by the old one's going
  stale_ = true;
  pending_ = {};
  map_.clear();
  last_ = 0;
  if (const Node root = dom_.DocumentElement()) AddTree(root, Place::Root, 0);
  serial_ = dom_.Serial();
  watching_ = dom_.Watch(*this);
  stale_ = false;
}

const DocumentIndex::Entries& DocumentIndex::Find(Kind kind, std::string_view key, platform::xml::NodeRef holder) const {
  static const Entries none;
  const auto it = map_.find(KeyView{kind, holder, key});
  return it == map_.end() ? none : it->second;
}

Node DocumentIndex::First(Kind kind, std::string_view key, platform::xml::NodeRef holder) const {
  const Entries& entries = Find(kind, key, holder);
  return entries.empty() ? Node() : dom_.At(entries.front().node);
}

std::vector<Node> DocumentIndex::Nodes(const Entries& entries) const {
  std::vector<Node> nodes;
  nodes.reserve(entries.size());
  for (const Entry& entry : entries) nodes.push_back(dom_.At(entry.node));
  return nodes;
}

DocumentIndex::Place DocumentIndex::ChildPlace(Place parent, const Node& child) {
  const XMLNameBytes& n = XMLNamesUtf8();
  switch (parent) {
    case Place::Root:
      return child.Is(n.UnitList)     ? Place::UnitList
             : child.Is(n.Interfaces) ? Place::Interfaces
             : child.Is(n.Sets)       ? Place::Sets
             : child.Is(n.DriverList) ? Place::DriverList
                                      : Place::Other;
    case Place::UnitList: return child.Is(n.Unit) ? Place::Unit : Place::Other;
    case Place::Unit: return child.Is(n.LinkedInterface) ? Place::UnitLink : Place::Other;
    case Place::Interfaces: return child.Is(n.Serial) ? Place::Serial : Place::Other;
    case Place::Serial: return child.Is(n.ComPort) ? Place::Port : Place::Other;
    case Place::Port: return child.Is(n.LinkedUnit) ? Place::PortLink : Place::Other;
    case Place::Sets: return child.Is(n.Set) ? Place::Set : Place::Other;
    case Place::Set: return child.Is(n.LinkedUnit) ? Place::SetLink : Place::Other;
    case Place::DriverList: return child.Is(n.File) ? Place::File : Place::Other;
    default: return Place::Other;
  }
}

DocumentIndex::Place DocumentIndex::PlaceOf(const Node& node) {
  // Up to the document node (nothing indexed lies deeper than five
  // elements), then down again, child by child.
  std::array<Node, 6> chain;
  std::size_t depth = 0;
  for (Node at = node; !at.IsDocument(); at = at.Parent()) {
    if (!at || depth == chain.size()) return Place::Other;  // out of the tree, or deeper
    chain[depth++] = at;
  }
  if (depth == 0 || !chain[depth - 1].IsElement()) return Place::Other;
  Place place = Place::Root;
  for (std::size_t i = depth - 1; i-- > 0 && place != Place::Other;) place = ChildPlace(place, chain[i]);
  return place;
}

bool DocumentIndex::IsIndexed(Place place) {
  switch (place) {
    case Place::Unit: case Place::Port: case Place::Set: case Place::File:
    case Place::UnitLink: case Place::PortLink: case Place::SetLink: return true;
    default: return false;
  }
}

DocumentIndex::Kind DocumentIndex::KindOf(Place place) {
  switch (place) {
    case Place::Unit: return Kind::Unit;
    case Place::Port: return Kind::Port;
    case Place::Set: return Kind::Set;
    case Place::File: return Kind::File;
    case Place::UnitLink: return Kind::UnitLink;
    case Place::PortLink: return Kind::PortLink;
    default: return Kind::SetLink;
  }
}

std::string DocumentIndex::NameOf(const Node& node, Place place) {
  const XMLNameBytes& n = XMLNamesUtf8();
  if (place == Place::File) return Folded(node.TextBytes());
  const std::string& attribute = place == Place::Unit ? n.UnitID
                                 : place == Place::Port ? n.PortNo
                                 : place == Place::Set  ? n.Name
                                                        : n.ItemID;
  std::optional<std::string> name = node.Attribute(attribute);
  return name ? std::move(*name) : std::string(kUnnamed);
}

void DocumentIndex::Insert(Entries& entries, const Entry& entry) {
  const auto later = [](const Entry& a, const Entry& b) { return std::tie(a.holder, a.own) < std::tie(b.holder, b.own); };
  entries.insert(std::upper_bound(entries.begin(), entries.end(), entry, later), entry);
}

void DocumentIndex::Add(const Node& node, Place place, const Entry& entry) {
  const Kind kind = KindOf(place);
  std::string name = NameOf(node, place);
  if (IsLink(kind)) Insert(map_[Key_{kind, node.Parent().Ref(), name}], entry);
  Insert(map_[Key_{kind, nullptr, std::move(name)}], entry);
}

std::optional<DocumentIndex::Entry> DocumentIndex::Remove(const Node& node, Place place) {
  const Kind kind = KindOf(place);
  const std::string name = NameOf(node, place);
  std::optional<Entry> removed;
  const auto drop = [&](platform::xml::NodeRef holder) {
    const auto it = map_.find(KeyView{kind, holder, name});
    if (it == map_.end()) return;
    Entries& entries = it->second;
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.node == node.Ref(); });
    if (entry == entries.end()) return;
    removed = *entry;
    entries.erase(entry);
    if (entries.empty()) map_.erase(it);
  };
  if (IsLink(kind)) drop(node.Parent().Ref());
  drop(nullptr);
  if (!removed) stale_ = true;  // it should have been there: the index lost track
  return removed;
}

std::optional<std::uint64_t> DocumentIndex::OwnOf(const Node& node, Place place) const {
  for (const Entry& entry : Find(KindOf(place), NameOf(node, place)))
    if (entry.node == node.Ref()) return entry.own;
  return std::nullopt;
}

bool DocumentIndex::IsLinkPlace(Place place) {
  return place == Place::UnitLink || place == Place::PortLink || place == Place::SetLink;
}

bool DocumentIndex::HoldsIndexed(Place place) {
  return place != Place::File && place != Place::Other && !IsLinkPlace(place);
}

void DocumentIndex::AddTree(const Node& node, Place place, std::uint64_t holder) {
  std::uint64_t below = holder;
  if (IsIndexed(place)) {
    const Entry entry{node.Ref(), IsLinkPlace(place) ? holder : 0, ++last_};
    Add(node, place, entry);
    below = entry.own;
  }
  if (!HoldsIndexed(place)) return;
  for (Node child = node.FirstChild(); child; child = child.NextSibling())
    if (const Place at = ChildPlace(place, child); at != Place::Other) AddTree(child, at, below);
}

void DocumentIndex::RemoveTree(const Node& node, Place place) {
  if (IsIndexed(place)) Remove(node, place);
  if (!HoldsIndexed(place)) return;
  for (Node child = node.FirstChild(); child; child = child.NextSibling())
    if (const Place at = ChildPlace(place, child); at != Place::Other) RemoveTree(child, at);
}

DocumentIndex::Where DocumentIndex::Locate(const Node& node, const Node& parent) {
  const Place parentPlace = PlaceOf(parent);
  if (!node.IsElement()) {
    // Text put into or taken from a driver file's entry, other than by SetText, renames it.
    if (parentPlace == Place::File && pending_.node != parent.Ref()) stale_ = true;
    return {Place::Other, parentPlace};
  }
  const Place place = parent.IsDocument() ? Place::Root : ChildPlace(parentPlace, node);
  if (place == Place::Root) stale_ = true;  // the document element itself: all is built anew
  return {place, parentPlace};
}

void DocumentIndex::Joined(const Node& node) noexcept {
  if (stale_) return;  // built anew before the next lookup in any case
  try {
    const Node parent = node.Parent();
    const auto [place, parentPlace] = Locate(node, parent);
    if (place == Place::Other || place == Place::Root) return;
    // Put before another of its kind: the places given so far cannot say where it is.
    for (Node next = node.NextSibling(); next; next = next.NextSibling())
      if (ChildPlace(parentPlace, next) == place) {
        stale_ = true;
        return;
      }
    std::uint64_t holder = 0;
    if (IsLinkPlace(place)) {
      const std::optional<std::uint64_t> own = OwnOf(parent, parentPlace);
      if (!own) {
        stale_ = true;
        return;
      }
      holder = *own;
    }
    AddTree(node, place, holder);
  } catch (...) {
    stale_ = true;
  }
}

void DocumentIndex::Leaving(const Node& node) noexcept {
  if (stale_) return;
  try {
    const auto [place, parentPlace] = Locate(node, node.Parent());
    if (place != Place::Other && place != Place::Root) RemoveTree(node, place);
  } catch (...) {
    stale_ = true;
  }
}

void DocumentIndex::Changing(const Node& element) noexcept {
  if (stale_) return;
  try {
    const Place place = PlaceOf(element);
    if (!IsIndexed(place)) return;
    if (pending_.node != nullptr) stale_ = true;  // never nested: one change is made at a time
    const std::optional<Entry> entry = Remove(element, place);
    if (entry) pending_ = {element.Ref(), place, *entry};
  } catch (...) {
    stale_ = true;
  }
}

void DocumentIndex::Changed(const Node& element) noexcept {
  if (pending_.node != element.Ref()) return;
  const Pending pending = std::exchange(pending_, {});
  try {
    Add(element, pending.place, pending.entry);
  } catch (...) {
    stale_ = true;
  }
}

}  // namespace dev
