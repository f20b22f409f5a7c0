// Inside the DOM: one libxml2 document and the nodes taken out of its tree.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/com.h"
#include "platform/xml/Dom.h"

namespace platform::xml {

// Owns the libxml2 document and every node that left its tree (created and
// not yet appended, or removed): handles may still refer to them, so they are
// freed only with the document.
class DocumentData : public std::enable_shared_from_this<DocumentData> {
 public:
  explicit DocumentData(xmlDocPtr doc) : doc_(doc), serial_(NextSerial()) {}
  ~DocumentData();
  DocumentData(const DocumentData&) = delete;
  DocumentData& operator=(const DocumentData&) = delete;

  xmlDocPtr doc() const { return doc_; }
  Node Wrap(xmlNodePtr node) { return node == nullptr ? Node() : Node(shared_from_this(), node); }
  // Takes `node` out of the tree and keeps it until the document goes.
  void Detach(xmlNodePtr node);
  // Keeps a node made outside the tree; frees it when it cannot.
  xmlNodePtr Adopt(xmlNodePtr node);
  // Counts changes of the tree (and of nodes out of it): see Document::ChangeCount.
  void Changed() noexcept { ++changes_; }
  std::uint64_t changes() const noexcept { return changes_; }
  std::uint64_t serial() const noexcept { return serial_; }
  TreeWatcher* watcher = nullptr;
  // The tree may hold whitespace text that a save leaves out: true until a
  // save's look finds none, and again after a change that could add some.
  bool mayHoldBlankText = true;
  std::size_t serializedSize = 0;  // of the last Serialize
  // Notes that `node` was just linked into a parent, or is about to leave it.
  void NoteLinked(xmlNodePtr node) noexcept {
    const auto text = [](xmlNodePtr n) { return n != nullptr && n->type != XML_ELEMENT_NODE && n->type != XML_COMMENT_NODE; };
    // An element among text, or text anywhere, may make text into whitespace between elements.
    if (text(node) || text(node->prev) || text(node->next)) mayHoldBlankText = true;
  }
  void NoteLeaving(xmlNodePtr node) noexcept {
    // Other text going may leave whitespace alone among elements; an element going cannot.
    if (node->type != XML_ELEMENT_NODE && node->type != XML_COMMENT_NODE) mayHoldBlankText = true;
  }
  // Tells the watcher, if any, of a change to `node` (see TreeWatcher).
  template <auto Event>
  void Tell(xmlNodePtr node) {
    if (watcher != nullptr) (watcher->*Event)(Wrap(node));
  }

 private:
  static std::uint64_t NextSerial() noexcept;
  xmlDocPtr doc_;
  const std::uint64_t serial_;
  std::uint64_t changes_ = 0;
  std::unordered_set<xmlNodePtr> detached_;
};

// UTF-8 for libxml2; E_INVALIDARG for text that is no Unicode scalar value.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(const xmlChar* text);
// A qualified XML name; `utf8` is the same name in UTF-8.
bool IsXmlName(std::wstring_view name, const xmlChar* utf8);
// Raises std::bad_alloc for a null result of a libxml2 allocation: running
// out of memory is one exception everywhere, never a DOM call's failure.
template <typename T>
T* Allocated(T* result) {
  if (result == nullptr) throw std::bad_alloc();
  return result;
}

// Owns what a libxml2 call returned, and frees it with `Free`.
template <auto Free>
struct FreeWith {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};
template <typename T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

// xmlFree is a pointer variable, not a function: it cannot be a template argument.
inline void FreeXmlMemory(void* memory) { xmlFree(memory); }
using XmlString = Owned<xmlChar, FreeXmlMemory>;

}  // namespace platform::xml
