// The host's XML document class: one DOM document bound to one file path.
// Its operations report failure through their results (null or false); the
// DOM object itself, which derived classes reach directly, raises _com_error.
#pragma once

#include <kvodevice/CString.h>
#include <kvodevice/Export.h>

#include <boost/noncopyable.hpp>

#include "host/XPATHString.h"
#include "platform/com.h"
#include "platform/xml/Dom.h"

namespace utl {

class KVO_HOST_API CXMLDOMDocument : private boost::noncopyable {
 public:
  using Node = platform::xml::Node;
  using _bstr_t = platform::com::_bstr_t;

  // Creates an empty DOM and keeps `path`; reads nothing.
  explicit CXMLDOMDocument(const CString& path);
  // Releases the DOM; writes no file.
  virtual ~CXMLDOMDocument();

  // Reads the file at the path into the DOM, validating it against the schema
  // it names while validate-on-parse is on. True when read and accepted;
  // otherwise the DOM is empty and its parse error record says why.
  // `retry` marks a second attempt after the schema was written again; the
  // schema is read from disk on every load, so it changes nothing here.
  bool load(bool retry);
  // Writes the DOM to the path, replacing the file atomically. A DOM without a
  // document element is never written: false, and the file stays as it was.
  bool save();
  // True when the DOM holds a document element that operations can work on.
  bool isDOMReady() const;
  // Starts an empty document: its file begins with the XML declaration.
  bool newProcessingInstruction();
  // Appends a comment as the last child of `parent`, or with a null parent at
  // the end of the document element. Any text keeps the file well-formed.
  Node addComment(const CString& text, const Node& parent);
  // Appends a line break at the end of the document element.
  bool newLine();
  // Appends a new element `name` as the last child of `parent`, with one
  // attribute when both attribute pointers are non-null; null on failure.
  Node newNode(const _bstr_t& name, const Node& parent, const _bstr_t* attributeName, const _bstr_t* attributeValue);
  Node newNode(const CString& name, const Node& parent, const CString* attributeName, const CString* attributeValue);
  // The first child element `name` of `parent`; when there is none and
  // `create` is set, a new empty one appended as the last child; else null.
  Node getChildNode(const CString& name, const Node& parent, bool create);
  // The text content of an element.
  bool getString(const Node& node, CString& text) const;
  // Replaces the text content of an element; false, with nothing changed, for
  // text that XML cannot hold.
  bool setString(const Node& node, const CString& text);
  // Sets one attribute; false for null pointers or values XML cannot hold.
  bool setAttribute(const Node& node, const CString* name, const CString* value);
  // Removes the node from its parent; false for a null node or a failed removal.
  bool removeNode(const Node& node);
  // True when at least one node matches; false when none does or the path is not valid.
  bool existsNode(const CXPATHString& path) const;

  const CString& path() const noexcept { return m_path; }
  // Why the last save failed; no error after a successful one.
  const platform::FileError& lastSaveError() const noexcept { return m_saveError; }

 protected:
  CString m_path;
  platform::xml::Document m_dom;
  // How save() writes the file: whose permissions it gets, whether a link is followed.
  platform::WriteOptions m_writeOptions;
  platform::FileError m_saveError;
};

}  // namespace utl
