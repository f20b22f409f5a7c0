// A small DOM over libxml2 with the semantics the library relies on: counted
// handles to a document and its nodes, snapshot node lists, a parse error
// record, validation against the schema a document names, and saving that
// never leaves a torn file. Failed calls raise platform::com::_com_error.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"

struct _xmlNode;

namespace platform::xml {

class DocumentData;
class NodeList;
class Node;

// A node's address without a hold on its document: Document::At turns it
// back into a node, while that document's content lives.
using NodeRef = const void*;

// Told of every change of a document's tree as it is made (see
// Document::Watch). Each call is made with the tree intact around it and
// throws nothing: a watcher that cannot keep up must notice by itself.
class TreeWatcher {
 public:
  // `node`, with what it holds, has just been linked into a parent.
  virtual void Joined(const Node& node) noexcept = 0;
  // `node`, with what it holds, is about to be taken from its parent.
  virtual void Leaving(const Node& node) noexcept = 0;
  // An attribute or the text of `element` is about to change, or has changed.
  virtual void Changing(const Node& element) noexcept = 0;
  virtual void Changed(const Node& element) noexcept = 0;

 protected:
  ~TreeWatcher() = default;
};

// A counted reference to a node; it keeps the node's document alive. A node
// that is removed from the tree stays valid as long as a handle refers to it.
// Default-constructed: the null node.
class Node {
 public:
  Node() = default;
  explicit operator bool() const noexcept { return node_ != nullptr; }
  friend bool operator==(const Node& a, const Node& b) noexcept { return a.node_ == b.node_; }

  bool IsElement() const;
  bool IsComment() const;
  bool IsText() const;
  bool IsDocument() const;
  // An element of the qualified name `utf8`, told without converting text.
  bool Is(std::string_view utf8) const noexcept;
  // The position in `names` of the element's name; names.size() when it has
  // none of them or is no element.
  std::size_t Among(std::span<const std::string> names) const noexcept;
  NodeRef Ref() const noexcept { return node_; }
  // Qualified name of an element ("xs:schema"); "#comment", "#text", "#document" otherwise.
  std::wstring Name() const;
  // The line of the file the node was read from; 0 for a node made in memory.
  int Line() const;

  Node Parent() const;
  Node FirstChild() const;
  Node NextSibling() const;
  // Moves this handle to its next sibling (null after the last) and its
  // first child: a walk that does not count references at every step.
  void ToNextSibling() noexcept;
  void ToFirstChild() noexcept;
  // The first child element named `name`, or null.
  Node ChildElement(std::wstring_view name) const;

  // Appends `child` (of the same document) as the last child, moving it from
  // where it stood. Adjacent text nodes are never merged.
  Node AppendChild(const Node& child) const;
  // Inserts `child` (of the same document) before `before`, a child of this
  // element, moving it from where it stood; with a null `before`, appends it.
  Node InsertBefore(const Node& child, const Node& before) const;
  // Removes `child` from this node; returns it, or null when it is no child of this node.
  Node RemoveChild(const Node& child) const;

  // Text content (of all descendants, for an element).
  std::wstring Text() const;
  // The same into `text`, reusing its storage.
  void TextInto(std::wstring& text) const;
  // Replaces the content of an element by one text node (none for empty text).
  void SetText(std::wstring_view text) const;

  // Attributes by qualified name, namespace declarations ("xmlns:x") included.
  std::optional<std::wstring> GetAttribute(std::wstring_view name) const;
  // The same, in UTF-8, for a name without a prefix.
  std::optional<std::string> Attribute(std::string_view utf8) const;
  // The same without a copy: the view is into the node, or into `spare` for a
  // value made of several nodes. It lasts until either changes.
  std::optional<std::string_view> Attribute(std::string_view utf8, std::string& spare) const;
  // Text() in UTF-8.
  std::string TextBytes() const;
  // Sets an attribute: a new one goes after the existing ones.
  void SetAttribute(std::wstring_view name, std::wstring_view value) const;
  // Removes an attribute; nothing happens when there is none.
  void RemoveAttribute(std::wstring_view name) const;
  // Every attribute in document order, namespace declarations first.
  std::vector<std::pair<std::wstring, std::wstring>> Attributes() const;

  // XPath 1.0 with this node as the context node. The list is a snapshot.
  NodeList SelectNodes(std::wstring_view xpath) const;
  Node SelectSingleNode(std::wstring_view xpath) const;

 private:
  friend class Document;
  friend class DocumentData;
  Node(std::shared_ptr<DocumentData> document, _xmlNode* node) : document_(std::move(document)), node_(node) {}
  _xmlNode* Checked() const;

  std::shared_ptr<DocumentData> document_;
  _xmlNode* node_ = nullptr;
};

// The nodes a query matched, in document order, fixed when it was made.
class NodeList {
 public:
  NodeList() = default;
  explicit NodeList(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
  long length() const noexcept { return static_cast<long>(nodes_.size()); }
  // Null outside 0..length-1.
  Node item(long index) const;
  // Iteration in the style of the original platform: nextNode after reset.
  void reset() noexcept { cursor_ = 0; }
  Node nextNode() { return cursor_ < nodes_.size() ? nodes_[cursor_++] : Node(); }
  auto begin() const noexcept { return nodes_.begin(); }
  auto end() const noexcept { return nodes_.end(); }

 private:
  std::vector<Node> nodes_;
  std::size_t cursor_ = 0;
};

// What went wrong in the last load, from libxml2's own report.
struct ParseError {
  std::uint32_t errorCode = 0;  // libxml2's error number; 0 after a good load
  std::int32_t line = 0;
  std::int32_t linepos = 0;
  std::wstring reason;
  // The file that could not be read or used (file.code its errno, 0 when none):
  // the document itself, or the schema it names.
  FileError file;
};

// A counted reference to a DOM document. Default-constructed: no document;
// every operation on it raises E_POINTER. Copies refer to the same document.
class Document {
 public:
  Document() = default;
  static Document Create();  // a new, empty document
  explicit operator bool() const noexcept { return state_ != nullptr; }

  // Reads the file at `path` in place of the current content. With
  // validate-on-parse on, a document that names a schema in
  // xsi:noNamespaceSchemaLocation must match that schema (resolved beside the
  // document). False when the file cannot be read, is not well-formed or does
  // not match: the document is then empty and LastParseError() says why (a
  // file that cannot be read: errorCode XML_IO_LOAD_ERROR with `file`). A
  // schema that includes, imports or redefines another, or declares a
  // document type, is refused unread, as a file that cannot be used (EPERM):
  // validating never reads anything but the schema itself.
  bool Load(std::wstring_view path);
  // The same for `bytes` read from the file at `path` (the schema is looked
  // for beside it).
  bool LoadBytes(std::string_view bytes, std::wstring_view path);
  // The same for what a read of the file at `path` gave: its bytes, or why it
  // could not be read.
  bool LoadContent(const FileContent& file, std::wstring_view path);
  // The same, from text. Empty text gives an empty document (and false).
  bool LoadXML(std::wstring_view text);
  bool ValidateOnParse() const;
  void SetValidateOnParse(bool on);
  // Validates against `text` instead of reading the schema file when the
  // schema a document names is called `fileName`: a schema known in memory.
  // An empty `fileName`: every document is validated against `text`, also
  // one that names another schema or none.
  void SetSchemaText(std::wstring_view fileName, std::string text);
  // Validates the loaded document against the schema `text`, as a load with
  // SetSchemaText(L"", text) would, without parsing the document again. False
  // when it does not match: LastParseError() says why, and the document stays.
  bool ValidateAgainst(std::string text);
  // The last load validated the document against the text of SetSchemaText
  // (and LastParseError() says whether it matched).
  bool ValidatedByKnownSchema() const;
  const ParseError& LastParseError() const;

  // Writes UTF-8 with an XML declaration, indented, the same bytes for the
  // same tree, atomically: the file at `path` is the old one or the new one,
  // never a mix (see ReplaceFileAtomically). Raises STG_E_WRITEFAULT when it
  // cannot be written, with the reason in `error` when given.
  void Save(std::wstring_view path, const WriteOptions& options = {}, FileError* error = nullptr) const;
  // The text that Save writes.
  std::string Serialize() const;

  // Grows with every change made through a Node (append, remove, text,
  // attribute) until the next load, which starts it again.
  std::uint64_t ChangeCount() const;
  // Differs for each content a document has had in this process (a load
  // gives a new one): what a watcher followed, it still follows.
  std::uint64_t Serial() const;
  // Tells `watcher` of every change of the current content until the handle
  // goes or another watcher is set; a load ends it too.
  class Watching;
  [[nodiscard]] Watching Watch(TreeWatcher& watcher) const;
  // The node of the current content that `ref` was taken from; null for a null ref.
  Node At(NodeRef ref) const;

  Node AsNode() const;  // the document node
  Node DocumentElement() const;
  // New nodes, not yet in the tree. Names must be XML names and text XML
  // characters (E_INVALIDARG otherwise); a comment's text is adjusted so that
  // the comment stays well-formed.
  Node CreateElement(std::wstring_view name) const;
  Node CreateComment(std::wstring_view text) const;
  Node CreateTextNode(std::wstring_view text) const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

class Document::Watching {
 public:
  Watching() = default;
  explicit Watching(std::weak_ptr<DocumentData> data) : data_(std::move(data)) {}
  Watching(Watching&&) noexcept = default;
  Watching& operator=(Watching&& other) noexcept;
  ~Watching();

 private:
  std::weak_ptr<DocumentData> data_;
};

// What a libxml2 error number stands for, in words: "the file cannot be
// read", "the document is not well-formed XML", "the document breaks the
// schema", "the schema is not usable".
std::wstring ExplainErrorCode(std::uint32_t code);

// XML 1.0 text: only characters of the Char production, no U+0000.
bool IsXmlText(std::wstring_view text);

}  // namespace platform::xml
