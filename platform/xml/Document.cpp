#include <libxml/parser.h>
#include <libxml/xmlsave.h>
#include <libxml/xmlschemas.h>

#include <atomic>
#include <limits>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/strings.h"
#include "platform/xml/DocumentData.h"
#include "platform/xml/SchemaDocument.h"

namespace platform::xml {
namespace {

using com::_com_error;

// No network, no messages on the console (errors are read from the context),
// and whitespace between elements dropped as the original platform drops it.
// Lines beyond 65535 counted as they are (XML_PARSE_BIG_LINES), for messages.
// Texts shorter than 16 bytes kept inside their node (XML_PARSE_COMPACT), one
// allocation fewer for each: libxml2's tree functions know such nodes.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS |
                              XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;
const auto* const kSchemaInstance = reinterpret_cast<const xmlChar*>("http://www.w3.org/2001/XMLSchema-instance");

// libxml2 sets up its global state on first use, and two threads that race to
// that first use race inside it: done once, when the library is loaded.
[[maybe_unused]] const bool kParserReady = (xmlInitParser(), true);

using ParserPtr = Owned<xmlParserCtxt, xmlFreeParserCtxt>;
using DocPtr = Owned<xmlDoc, xmlFreeDoc>;

ParseError FromXmlError(const xmlError& error) {
  ParseError record;
  record.errorCode = static_cast<std::uint32_t>(error.code);
  record.line = error.line;
  record.linepos = error.int2;
  record.reason = FromUtf8(reinterpret_cast<const xmlChar*>(error.message));
  return record;
}

// Running out of memory is no verdict on a file: it is thrown, so that no
// document counts as damaged, nor a schema as unusable, for want of memory.
void ThrowIfOutOfMemory(int code) {
  if (code == XML_ERR_NO_MEMORY) throw std::bad_alloc();
}

// Keeps the first error that a schema parser or validator reports, and
// whether memory ran out on the way (the callback cannot throw through libxml2).
struct FirstError {
  std::optional<ParseError> record;
  bool outOfMemory = false;
  static void Collect(void* self, xmlErrorPtr error) noexcept {
    auto* first = static_cast<FirstError*>(self);
    if (error == nullptr) return;
    if (error->code == XML_ERR_NO_MEMORY) first->outOfMemory = true;
    try {
      if (!first->record) first->record = FromXmlError(*error);
    } catch (...) {
      first->outOfMemory = true;
    }
  }
  std::optional<ParseError> Verdict(ParseError otherwise) const {
    if (outOfMemory) throw std::bad_alloc();
    return record ? record : std::move(otherwise);
  }
};

// A parser with the options in force from the start: the file is opened, and
// its encoding detected, before the read call applies them. Its errors go
// nowhere but here: the parser goes on after many of them, and the first is
// the cause ("Opening and ending tag mismatch"), the last only where it gave
// up ("Premature end of data"), which is all that lastError keeps.
class Parser {
 public:
  Parser() : parser_(Allocated(xmlNewParserCtxt())) {
    xmlCtxtUseOptions(parser_.get(), kParseOptions);
    parser_->_private = &first_;
    parser_->sax->serror = [](void* context, xmlErrorPtr error) {
      const auto* parser = static_cast<xmlParserCtxtPtr>(context);
      if (parser != nullptr && parser->_private != nullptr && error != nullptr && error->level >= XML_ERR_ERROR)
        FirstError::Collect(parser->_private, error);
    };
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;
  xmlParserCtxtPtr get() const { return parser_.get(); }
  // Why nothing was read: the first error, or what the parser kept.
  ParseError Failure() const {
    ThrowIfOutOfMemory(parser_->lastError.code);
    ThrowIfOutOfMemory(parser_->errNo);
    return first_.Verdict(FromXmlError(parser_->lastError)).value();
  }

 private:
  ParserPtr parser_;
  FirstError first_;
};

std::shared_ptr<DocumentData> Adopted(DocPtr doc) {
  auto data = std::make_shared<DocumentData>(doc.get());
  doc.release();
  return data;
}

std::shared_ptr<DocumentData> EmptyData() { return Adopted(DocPtr(Allocated(xmlNewDoc(BAD_CAST "1.0")))); }

// The schema that the document names in xsi:noNamespaceSchemaLocation, looked
// for beside the document only (its file-name part): a document never makes
// the library read files elsewhere or reach the network. Nullopt when the
// document names none, and then there is nothing to validate against.
std::optional<std::string> SchemaBeside(xmlDocPtr doc, const std::string& documentPath) {
  const xmlNodePtr root = xmlDocGetRootElement(doc);
  if (root == nullptr) return std::nullopt;
  const XmlString location(xmlGetNsProp(root, BAD_CAST "noNamespaceSchemaLocation", kSchemaInstance));
  if (location == nullptr) return std::nullopt;
  std::string name = reinterpret_cast<const char*>(location.get());
  name.erase(0, name.find_last_of("/\\") + 1);
  const std::size_t slash = documentPath.rfind('/');
  return (slash == std::string::npos ? std::string() : documentPath.substr(0, slash + 1)) + name;
}

// A file that could not be read, as a parse error record.
ParseError Unreadable(const FileError& error) {
  return ParseError{XML_IO_LOAD_ERROR, 0, 0, error.Describe(), error};
}

// Parses bytes read from the file at `path` (native; it names the document
// for relative references and messages).
xmlDocPtr ParseBytes(xmlParserCtxtPtr parser, std::string_view bytes, const std::string& path) {
  return xmlCtxtReadMemory(parser, bytes.data(), static_cast<int>(bytes.size()), path.c_str(), nullptr, kParseOptions);
}

// A schema known in memory, by the file name it stands for.
struct SchemaText {
  std::string fileName;
  std::string text;
};

bool IsKnown(const std::string& schemaPath, const std::optional<SchemaText>& known) {
  return known && (known->fileName.empty() || schemaPath.substr(schemaPath.rfind('/') + 1) == known->fileName);
}

// The first fault that the schema `schemaDoc` finds in `doc`, or nullopt.
std::optional<ParseError> ValidateWith(xmlDocPtr doc, xmlDocPtr schemaDoc) {
  FirstError first;
  const Owned<xmlSchemaParserCtxt, xmlSchemaFreeParserCtxt> parser(Allocated(xmlSchemaNewDocParserCtxt(schemaDoc)));
  xmlSchemaSetParserStructuredErrors(parser.get(), FirstError::Collect, &first);
  const Owned<xmlSchema, xmlSchemaFree> schema(xmlSchemaParse(parser.get()));
  if (schema == nullptr) return first.Verdict(ParseError{XML_SCHEMAP_FAILED_LOAD, 0, 0, L"no schema", {}});
  const Owned<xmlSchemaValidCtxt, xmlSchemaFreeValidCtxt> validator(Allocated(xmlSchemaNewValidCtxt(schema.get())));
  xmlSchemaSetValidStructuredErrors(validator.get(), FirstError::Collect, &first);
  const int result = xmlSchemaValidateDoc(validator.get(), doc);
  if (result == 0 && !first.outOfMemory) return std::nullopt;
  return first.Verdict(ParseError{static_cast<std::uint32_t>(result), 0, 0, L"not valid", {}});
}

std::optional<ParseError> Validate(xmlDocPtr doc, const std::string& schemaPath,
                                   const std::optional<SchemaText>& known) {
  // The schema is read through the file seam and parsed by a parser of our
  // own, so that its errors stay in that parser instead of going to the console.
  FileContent schemaFile;
  if (IsKnown(schemaPath, known)) {
    schemaFile.bytes = known->text;
  } else {
    // Links followed as a save follows them: a link another user planted
    // beside the document does not make the library read what it names.
    ReadOptions asSaveFollows;
    asSaveFollows.asSaveFollows = true;
    schemaFile = ReadWholeFile(WidePath(schemaPath), asSaveFollows);
    if (!schemaFile.readable) return Unreadable(schemaFile.error);
  }
  const Parser reader;
  DocPtr schemaDoc(ParseBytes(reader.get(), schemaFile.bytes, schemaPath));
  if (schemaDoc == nullptr) return reader.Failure();
  if (const char* why = ReachesBeyond(schemaDoc.get()))
    return Unreadable(
        FileError{EPERM, "use the schema", schemaPath, std::string(why) + "; validating reads nothing else"});
  if (!RetypeReferences(schemaDoc.get())) return ValidateWith(doc, schemaDoc.get());
  if (!ValidateWith(doc, schemaDoc.get())) return std::nullopt;
  // Refused: validated again against the schema as written, for libxml2's
  // own account of the first fault (it names the type xs:IDREF).
  schemaDoc.reset(ParseBytes(reader.get(), schemaFile.bytes, schemaPath));
  if (schemaDoc == nullptr) return reader.Failure();
  return ValidateWith(doc, schemaDoc.get());
}

bool IsBlankText(xmlNodePtr node) {
  if (node->type != XML_TEXT_NODE) return false;
  for (const xmlChar* c = node->content; c != nullptr && *c != 0; ++c)
    if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r') return false;
  return true;
}

// Whitespace text among elements: the line breaks a document was given, or
// that an earlier file held. libxml2 indents an element's children only when
// none of them is text, so these go before saving; the saver then puts every
// element and comment on its own line. An element with other text keeps all
// of its content as it is. Visits every such node below `parent` and hands it
// to `visit`, which may free it; stops when `visit` answers false.
template <typename Visit>
bool ForEachBlankStructureText(xmlNodePtr parent, const Visit& visit) {
  bool structured = false;
  for (xmlNodePtr child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE || child->type == XML_COMMENT_NODE) structured = true;
    if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && !IsBlankText(child)) return true;
  }
  for (xmlNodePtr child = parent->children, next; child != nullptr; child = next) {
    next = child->next;
    if (child->type == XML_ELEMENT_NODE ? !ForEachBlankStructureText(child, visit)
                                        : structured && IsBlankText(child) && !visit(child))
      return false;
  }
  return true;
}

bool HasBlankStructureText(xmlNodePtr root) {
  return !ForEachBlankStructureText(root, [](xmlNodePtr) { return false; });
}

void StripBlankStructureText(xmlNodePtr root) {
  ForEachBlankStructureText(root, [](xmlNodePtr text) {
    xmlUnlinkNode(text);
    xmlFreeNode(text);
    return true;
  });
}

}  // namespace

struct Document::State {
  std::shared_ptr<DocumentData> data;
  bool validateOnParse = true;
  bool validatedByKnownSchema = false;
  std::optional<SchemaText> knownSchema;
  ParseError parseError;

  // Takes what a parser read: the document, or (when it read none, or the
  // document is refused) the reason and an empty document.
  bool Take(DocPtr doc, const Parser& parser, std::optional<ParseError> refused = std::nullopt) {
    if (doc == nullptr && !refused) refused = parser.Failure();
    if (refused) {
      parseError = std::move(*refused);
      data = EmptyData();
      return false;
    }
    parseError = {};
    data = Adopted(std::move(doc));
    return true;
  }
};

Document Document::Create() {
  Document document;
  document.state_ = std::make_shared<State>();
  document.state_->data = EmptyData();
  return document;
}

bool Document::Load(std::wstring_view path) {
  if (!state_) throw _com_error(com::E_POINTER);
  // Read through the file seam, then parsed from memory: a file that cannot
  // be read is told apart from one that is damaged, and libxml2 never
  // reports an I/O error on the console.
  return LoadContent(ReadWholeFile(path), path);
}

bool Document::LoadContent(const FileContent& file, std::wstring_view path) {
  if (!state_) throw _com_error(com::E_POINTER);
  if (!file.readable) {
    state_->parseError = Unreadable(file.error);
    state_->data = EmptyData();
    return false;
  }
  return LoadBytes(file.bytes, path);
}

bool Document::LoadBytes(std::string_view bytes, std::wstring_view path) {
  if (!state_) throw _com_error(com::E_POINTER);
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    state_->parseError = ParseError{XML_ERR_NO_MEMORY, 0, 0, L"the file is too large", {}};
    state_->data = EmptyData();
    return false;
  }
  const std::string native = NativePath(path);
  const Parser parser;
  DocPtr doc(ParseBytes(parser.get(), bytes, native));
  std::optional<ParseError> invalid;
  state_->validatedByKnownSchema = false;
  if (doc != nullptr && state_->validateOnParse) {
    const std::optional<SchemaText>& known = state_->knownSchema;
    const std::optional<std::string> schema = known && known->fileName.empty() ? native : SchemaBeside(doc.get(), native);
    if (schema) {
      invalid = Validate(doc.get(), *schema, known);
      state_->validatedByKnownSchema = IsKnown(*schema, known);
    }
  }
  return state_->Take(std::move(doc), parser, std::move(invalid));
}

bool Document::LoadXML(std::wstring_view text) {
  if (!state_) throw _com_error(com::E_POINTER);
  const std::string utf8 = ToUtf8(text);
  const Parser parser;
  return state_->Take(DocPtr(xmlCtxtReadMemory(parser.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr,
                                               "UTF-8", kParseOptions)),
                      parser);
}

bool Document::ValidateOnParse() const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->validateOnParse;
}

void Document::SetValidateOnParse(bool on) {
  if (!state_) throw _com_error(com::E_POINTER);
  state_->validateOnParse = on;
}

void Document::SetSchemaText(std::wstring_view fileName, std::string text) {
  if (!state_) throw _com_error(com::E_POINTER);
  state_->knownSchema = SchemaText{NativePath(fileName), std::move(text)};
}

bool Document::ValidatedByKnownSchema() const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->validatedByKnownSchema;
}

bool Document::ValidateAgainst(std::string text) {
  if (!state_) throw _com_error(com::E_POINTER);
  std::optional<ParseError> invalid = Validate(state_->data->doc(), "", SchemaText{"", std::move(text)});
  state_->parseError = invalid ? std::move(*invalid) : ParseError{};
  return !invalid;
}

const ParseError& Document::LastParseError() const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->parseError;
}

std::string Document::Serialize() const {
  if (!state_) throw _com_error(com::E_POINTER);
  DocumentData& data = *state_->data;
  xmlDocPtr doc = data.doc();
  DocPtr copy;
  const xmlNodePtr root = xmlDocGetRootElement(doc);
  // Looked for again only after a change that may have added some.
  if (data.mayHoldBlankText && root != nullptr) data.mayHoldBlankText = HasBlankStructureText(root);
  if (data.mayHoldBlankText && root != nullptr) {
    copy.reset(Allocated(xmlCopyDoc(doc, 1)));  // the live tree and its handles stay as they are
    StripBlankStructureText(xmlDocGetRootElement(copy.get()));
    doc = copy.get();
  }
  // Written straight into the string, sized as the last text was: no second copy.
  struct Output {
    std::string text;
    bool outOfMemory = false;
  } out;
  out.text.reserve(data.serializedSize);
  const auto append = [](void* context, const char* bytes, int length) {
    auto& output = *static_cast<Output*>(context);
    try {
      output.text.append(bytes, static_cast<std::size_t>(length));
      return length;
    } catch (const std::bad_alloc&) {
      output.outOfMemory = true;  // the saver fails; the exception is raised once it has closed
      return -1;
    }
  };
  const xmlSaveCtxtPtr saver = Allocated(xmlSaveToIO(append, nullptr, &out, "UTF-8", XML_SAVE_FORMAT));
  const long written = xmlSaveDoc(saver, doc);
  const int closed = xmlSaveClose(saver);
  if (out.outOfMemory) throw std::bad_alloc();
  if (closed < 0 || written < 0) throw _com_error(com::E_FAIL);
  data.serializedSize = out.text.size();
  return std::move(out.text);
}

void Document::Save(std::wstring_view path, const WriteOptions& options, FileError* error) const {
  if (!ReplaceFileAtomically(path, Serialize(), options, error)) throw _com_error(com::STG_E_WRITEFAULT);
}

std::uint64_t Document::ChangeCount() const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->data->changes();
}

Node Document::AsNode() const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->data->Wrap(reinterpret_cast<xmlNodePtr>(state_->data->doc()));
}

Node Document::DocumentElement() const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->data->Wrap(xmlDocGetRootElement(state_->data->doc()));
}

Node Document::CreateElement(std::wstring_view name) const {
  if (!state_) throw _com_error(com::E_POINTER);
  const std::string utf8 = ToUtf8(name);
  if (!IsXmlName(name, reinterpret_cast<const xmlChar*>(utf8.c_str()))) throw _com_error(com::E_INVALIDARG);
  DocumentData& data = *state_->data;
  return data.Wrap(data.Adopt(Allocated(xmlNewDocNode(data.doc(), nullptr, BAD_CAST utf8.c_str(), nullptr))));
}

Node Document::CreateComment(std::wstring_view text) const {
  if (!state_) throw _com_error(com::E_POINTER);
  // A comment must not hold "--" nor end in '-', and only XML characters:
  // whatever the text, the file stays well-formed.
  std::wstring safe;
  for (const wchar_t c : text) {
    const wchar_t kept = IsXmlText(std::wstring_view(&c, 1)) ? c : L'\uFFFD';
    if (kept == L'-' && !safe.empty() && safe.back() == L'-') safe += L' ';
    safe += kept;
  }
  if (!safe.empty() && safe.back() == L'-') safe += L' ';
  const std::string utf8 = ToUtf8(safe);
  DocumentData& data = *state_->data;
  return data.Wrap(data.Adopt(Allocated(xmlNewDocComment(data.doc(), BAD_CAST utf8.c_str()))));
}

Node Document::CreateTextNode(std::wstring_view text) const {
  if (!state_) throw _com_error(com::E_POINTER);
  if (!IsXmlText(text)) throw _com_error(com::E_INVALIDARG);
  const std::string utf8 = ToUtf8(text);
  DocumentData& data = *state_->data;
  return data.Wrap(data.Adopt(Allocated(
      xmlNewDocTextLen(data.doc(), reinterpret_cast<const xmlChar*>(utf8.data()), static_cast<int>(utf8.size())))));
}

std::wstring ExplainErrorCode(std::uint32_t code) {
  // libxml2 numbers its errors by module: the I/O layer, the schema
  // validator, the schema parser; the parser's own errors lie below them.
  if (code == 0) return L"no error";
  if (code >= XML_IO_UNKNOWN && code < XML_XINCLUDE_RECURSION) return L"the file cannot be read";
  if (code >= XML_SCHEMAV_NOROOT && code <= XML_SCHEMAV_MISC) return L"the document breaks the schema";
  if ((code >= XML_SCHEMAP_PREFIX_UNDEFINED && code < XML_SCHEMAV_NOROOT) || code >= XML_SCHEMAP_SRC_SIMPLE_TYPE_1)
    return L"the schema is not usable";
  if (code < XML_IO_UNKNOWN) return L"the document is not well-formed XML";
  return L"the document cannot be loaded";
}

std::uint64_t DocumentData::NextSerial() noexcept {
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint64_t Document::Serial() const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->data->serial();
}

Document::Watching Document::Watch(TreeWatcher& watcher) const {
  if (!state_) throw _com_error(com::E_POINTER);
  state_->data->watcher = &watcher;
  return Watching(state_->data);
}

Document::Watching& Document::Watching::operator=(Watching&& other) noexcept {
  if (this != &other) {
    this->~Watching();
    data_ = std::move(other.data_);
  }
  return *this;
}

Document::Watching::~Watching() {
  if (const std::shared_ptr<DocumentData> data = data_.lock()) data->watcher = nullptr;
  data_.reset();
}

Node Document::At(NodeRef ref) const {
  if (!state_) throw _com_error(com::E_POINTER);
  return state_->data->Wrap(static_cast<xmlNodePtr>(const_cast<void*>(ref)));
}

DocumentData::~DocumentData() {
  // Free the roots of detached subtrees first (their ID attributes are
  // registered in the document), then the document with its tree. Nothing
  // is allocated here: the set keeps only the roots before any is freed.
  std::erase_if(detached_, [](xmlNodePtr node) { return node->parent != nullptr; });
  for (const xmlNodePtr root : detached_) xmlFreeNode(root);
  xmlFreeDoc(doc_);
}

void DocumentData::Detach(xmlNodePtr node) {
  detached_.insert(node);  // first: what may throw comes before anything changes
  Tell<&TreeWatcher::Leaving>(node);
  xmlUnlinkNode(node);
}

xmlNodePtr DocumentData::Adopt(xmlNodePtr node) {
  try {
    detached_.insert(node);
  } catch (...) {
    xmlFreeNode(node);  // nobody else holds it yet
    throw;
  }
  return node;
}

}  // namespace platform::xml
