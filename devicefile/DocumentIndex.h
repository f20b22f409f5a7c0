// Where a document's units, serial ports, sets, driver files and links are,
// by what names them, so that an operation finds what it works on without
// searching the document. The index follows every change of the document it
// was built for (it is the document's TreeWatcher), and is built anew for
// another document, or when it could not follow a change (memory ran out, a
// node was put before others of its kind): its answers are always the
// document's own.
//
// It knows the document as the schema shapes it: one UnitList, Interfaces,
// DriverList and Sets below the document element, ComPorts in
// Interfaces/Serial, no UnitID or PortNo twice. Set names and links may
// repeat; nodes without the attribute that names them are kept apart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/xml/Dom.h"

namespace dev {

class DocumentIndex final : private platform::xml::TreeWatcher {
 public:
  // The named nodes (Unit by UnitID, Port: a ComPort by PortNo, Set by Name,
  // File by its text with A to Z folded) and the links, by the ItemID they
  // name: a unit's LinkedInterface, a port's and a set's LinkedUnit.
  enum class Kind : std::uint8_t { Unit, Port, Set, File, UnitLink, PortLink, SetLink };
  // A node and its place in document order: its holder's place (for a link),
  // then its own.
  struct Entry {
    platform::xml::NodeRef node;
    std::uint64_t holder, own;
  };
  using Entries = std::vector<Entry>;

  explicit DocumentIndex(const platform::xml::Document& dom) : dom_(dom) {}
  DocumentIndex(const DocumentIndex&) = delete;
  DocumentIndex& operator=(const DocumentIndex&) = delete;

  // Brings the index in step with the document: call before the lookups.
  void Follow();
  // The key of `text` (UTF-8); one that matches nothing when `text` is no Unicode.
  static std::string Key(std::wstring_view text);

  // The nodes of `kind` named `key`, in document order; for a link kind with
  // `holder`, only the links below that node.
  const Entries& Find(Kind kind, std::string_view key, platform::xml::NodeRef holder = nullptr) const;
  // The first of them; null when there is none.
  platform::xml::Node First(Kind kind, std::string_view key, platform::xml::NodeRef holder = nullptr) const;
  // Nodes of entries, for a caller that changes the document while it goes through them.
  std::vector<platform::xml::Node> Nodes(const Entries& entries) const;
  // The document's content and changes at one moment: a read of it made then
  // holds while Unchanged(mark) does.
  struct Mark {
    std::uint64_t serial = 0, changes = 0;  // serial 0: no content
  };
  Mark Now() const { return {dom_.Serial(), dom_.ChangeCount()}; }
  bool Unchanged(const Mark& mark) const;
  // The Sets below the document element that have no Name.
  std::size_t UnnamedSets() const { return Find(Kind::Set, kUnnamed).size(); }

 private:
  // Where a node is in the document, as far as the index is concerned.
  enum class Place : std::uint8_t {
    Other, Root, UnitList, Unit, UnitLink, Interfaces, Serial, Port, PortLink, Sets, Set, SetLink, DriverList, File
  };
  struct Key_ {
    Kind kind;
    platform::xml::NodeRef holder;
    std::string text;
  };
  struct KeyView {
    Kind kind;
    platform::xml::NodeRef holder;
    std::string_view text;
  };
  // Not noexcept, so that the map keeps each key's hash beside it: a lookup
  // that walks a bucket then compares numbers instead of hashing every key.
  struct Hash {
    using is_transparent = void;
    static std::size_t Of(const KeyView& key) noexcept;
    std::size_t operator()(const KeyView& key) const { return Of(key); }
    std::size_t operator()(const Key_& key) const { return Of({key.kind, key.holder, key.text}); }
  };
  struct Equal {
    using is_transparent = void;
    static KeyView View(const Key_& key) { return {key.kind, key.holder, key.text}; }
    static KeyView View(const KeyView& key) { return key; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const noexcept {
      const KeyView x = View(a), y = View(b);
      return x.kind == y.kind && x.holder == y.holder && x.text == y.text;
    }
  };
  // The text that names a node without its naming attribute.
  static constexpr std::string_view kUnnamed = "\xff";

  // TreeWatcher.
  void Joined(const platform::xml::Node& node) noexcept override;
  void Leaving(const platform::xml::Node& node) noexcept override;
  void Changing(const platform::xml::Node& element) noexcept override;
  void Changed(const platform::xml::Node& element) noexcept override;

  void Rebuild();
  static Place PlaceOf(const platform::xml::Node& node);
  static Place ChildPlace(Place parent, const platform::xml::Node& child);
  static bool IsIndexed(Place place);
  static bool IsLinkPlace(Place place);
  // Whether nodes below one at `place` may be indexed.
  static bool HoldsIndexed(Place place);
  // Where `node`, below `parent`, is and its parent is (Other for text; Root
  // for the document element, which makes the index stale).
  struct Where {
    Place place, parent;
  };
  Where Locate(const platform::xml::Node& node, const platform::xml::Node& parent);
  static Kind KindOf(Place place);
  static std::string NameOf(const platform::xml::Node& node, Place place);
  // Adds `node`, at `place` below a holder at `holder` in document order, with what it holds.
  void AddTree(const platform::xml::Node& node, Place place, std::uint64_t holder);
  void RemoveTree(const platform::xml::Node& node, Place place);
  void Add(const platform::xml::Node& node, Place place, const Entry& entry);
  // Takes `node` out; its entry, or none when it was not in.
  std::optional<Entry> Remove(const platform::xml::Node& node, Place place);
  static void Insert(Entries& entries, const Entry& entry);
  // The place in document order of an indexed `node`; nullopt when it is not in.
  std::optional<std::uint64_t> OwnOf(const platform::xml::Node& node, Place place) const;

  const platform::xml::Document& dom_;
  platform::xml::Document::Watching watching_;
  std::uint64_t serial_ = 0;  // the content followed; 0: none
  bool stale_ = true;         // a change was not followed: built anew before the next lookup
  std::uint64_t last_ = 0;    // the last place given in document order
  std::unordered_map<Key_, Entries, Hash, Equal> map_;
  // An element whose attributes or text change: out of the index until the change is made.
  struct Pending {
    platform::xml::NodeRef node = nullptr;
    Place place = Place::Other;
    Entry entry{};
  } pending_;
};

}  // namespace dev
