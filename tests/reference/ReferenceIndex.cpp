// The document index answered the slow way: every lookup an XPath query over
// the whole document, as the operations made them before there was an index.
// Linked instead of the real index into a second build of the configuration
// service, it is what the differential test holds the index to.
#include <kvodevice/Text.h>

#include <unordered_map>

#include "devicefile/DocumentIndex.h"

namespace dev {
namespace {

using platform::xml::Node;

// An XPath literal for any text: concat() where it holds both quote marks.
std::wstring Literal(const std::string& utf8) {
  const std::wstring text = ToWide(utf8);
  if (text.find(L'\'') == std::wstring::npos) return L"'" + text + L"'";
  std::wstring out = L"concat(''";
  for (const wchar_t c : text) out += c == L'\'' ? std::wstring(L", \"'\"") : L", '" + std::wstring(1, c) + L"'";
  return out + L")";
}

// Every node in document order, numbered from 1.
void Rank(const Node& node, std::unordered_map<platform::xml::NodeRef, std::uint64_t>& ranks) {
  ranks.emplace(node.Ref(), ranks.size() + 1);
  for (Node child = node.FirstChild(); child; child = child.NextSibling()) Rank(child, ranks);
}

}  // namespace

std::size_t DocumentIndex::Hash::Of(const KeyView& key) noexcept {
  return std::hash<std::string_view>()(key.text) ^ std::hash<const void*>()(key.holder);
}

std::string DocumentIndex::Key(std::wstring_view text) { return ToUtf8(text).value_or("\xfe"); }

void DocumentIndex::Follow() {}
// Every read is made from the document.
bool DocumentIndex::Unchanged(const Mark&) const { return false; }

const DocumentIndex::Entries& DocumentIndex::Find(Kind kind, std::string_view key, platform::xml::NodeRef holder) const {
  Entries& entries = const_cast<DocumentIndex*>(this)->map_[Key_{kind, holder, std::string(key)}];
  entries.clear();
  const Node root = dom_ ? dom_.DocumentElement() : Node();
  if (!root) return entries;
  // By kind: where the nodes lie below the document element, what they are, what names them.
  static const struct {
    const wchar_t *below, *element, *name;
  } kQueries[] = {{L"UnitList/", L"Unit", L"@UnitID"},
                  {L"Interfaces/Serial/", L"ComPort", L"@PortNo"},
                  {L"Sets/", L"Set", L"@Name"},
                  {L"DriverList/", L"File", L"translate(., 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"},
                  {L"UnitList/Unit/", L"LinkedInterface", L"@ItemID"},
                  {L"Interfaces/*/*/", L"LinkedUnit", L"@ItemID"},
                  {L"Sets/*/", L"LinkedUnit", L"@ItemID"}};
  const auto& query = kQueries[static_cast<std::size_t>(kind)];
  const std::wstring name = query.name;
  const std::wstring path = std::wstring(holder ? L"" : query.below) + query.element +
                            (key == kUnnamed ? L"[not(" + name + L")]" : L"[" + name + L"=" + Literal(std::string(key)) + L"]");
  std::unordered_map<platform::xml::NodeRef, std::uint64_t> ranks;
  Rank(root, ranks);
  const Node context = holder ? dom_.At(holder) : root;
  const bool link = kind == Kind::UnitLink || kind == Kind::PortLink || kind == Kind::SetLink;
  for (const Node& node : context.SelectNodes(path))
    entries.push_back({node.Ref(), link ? ranks[node.Parent().Ref()] : 0, ranks[node.Ref()]});
  return entries;
}

Node DocumentIndex::First(Kind kind, std::string_view key, platform::xml::NodeRef holder) const {
  const Entries& entries = Find(kind, key, holder);
  return entries.empty() ? Node() : dom_.At(entries.front().node);
}

std::vector<Node> DocumentIndex::Nodes(const Entries& entries) const {
  std::vector<Node> nodes;
  for (const Entry& entry : entries) nodes.push_back(dom_.At(entry.node));
  return nodes;
}

void DocumentIndex::Joined(const Node&) noexcept {}
void DocumentIndex::Leaving(const Node&) noexcept {}
void DocumentIndex::Changing(const Node&) noexcept {}
void DocumentIndex::Changed(const Node&) noexcept {}

}  // namespace dev
