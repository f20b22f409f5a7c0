// What a document holds and what changed between two: the value classes of
// ConfigurationContent.h and the reports of ConfigurationFile.h.
#include <kvodevice/ConfigurationContent.h>

#include "Support.h"

namespace kvopy {
namespace {

template <typename Entry, typename Change>
void BindChanges(py::module_& m, const char* name, const char* doc) {
  using C = dev::Changes<Entry, Change>;
  ValueClass<C>(m, name, doc)
      .field("removed", &C::removed, "The items in the first document only.")
      .field("added", &C::added, "The items in the second document only.")
      .field("changed", &C::changed, "The items in both that differ.")
      .also("empty", &C::empty, "True when nothing differs.");
}

}  // namespace

void BindContent(py::module_& m) {
  py::enum_<dev::OpenOutcome>(m, "OpenOutcome", "How an opening ended.")
      .value("LOADED", dev::OpenOutcome::Loaded, "The document was read whole and is valid.")
      .value("CREATED", dev::OpenOutcome::Created, "There was no document: a default one was written.")
      .value("RECOVERED", dev::OpenOutcome::Recovered,
             "The document was damaged: it is kept as kvoDevice.xml.bak and a default document replaced it.")
      .value("GAVE_UP", dev::OpenOutcome::GaveUp, "Nothing was loaded and no file was changed.")
      .attr("__module__") = "kvodevice";

  using O = dev::OpenReport;
  ValueClass<O>(m, "OpenReport", "How the opening of a Configuration ended (Configuration.open_report).")
      .field("outcome", &O::outcome, "An OpenOutcome.")
      .text("reason", &O::reason, "RECOVERED: the message the default document carries; GAVE_UP: what could not be done.")
      .field("system_error", &O::systemError, "GAVE_UP: the errno of the file call that failed, 0 when none did.")
      .field("parse_error", &O::parseError, "RECOVERED: the parse error that made the document count as damaged.")
      .field("line", &O::line, "RECOVERED: the line of the parse error.")
      .field("column", &O::column, "RECOVERED: the column of the parse error.")
      .field("parse_error_kind", &O::parseErrorKind, "The parse error in words: \"the document breaks the schema\", ...")
      .field("parse_error_text", &O::parseErrorText, "The parser's own words for the first error.")
      .field("schema_written", &O::schemaWritten, "The schema was (re)written (read-only: would have been).")
      .field("read_only", &O::readOnly, "Opened read-only: the outcome is what a writable opening would have done.")
      .text("history_unusable", &O::historyUnusable, "Why saves keep no versions in the history; empty when they do.");

  using S = dev::SaveReport;
  ValueClass<S>(m, "SaveReport", "What the last save, refresh, discard or restore came to.")
      .field("failed", &S::failed, "The operation answered false.")
      .field("system_error", &S::systemError, "The errno of the file call that failed, 0 when none did.")
      .text("reason", &S::reason, "What failed; after a success, what the save could not do beside the write.")
      .field("dropped", &S::dropped, "Own changes that no longer applied on another writer's file, with why.")
      .path("kept", &S::kept, "The path of the version kept in the history; empty when none was kept.");

  using U = dev::UnitEntry;
  ValueClass<U>(m, "UnitEntry", "A Unit element as a document file writes it.")
      .field("has_id", &U::hasId, "The element has a UnitID.")
      .field("id", &U::id, "The UnitID as written, malformed or not.")
      .field("setup", &U::setup, "The setup attribute; empty when absent.")
      .field("driver", &U::driver, "The Driver text; empty when absent.")
      .field("model", &U::model, "The Model text; empty when absent.")
      .field("name", &U::name, "The UnitName text; empty when absent.")
      .field("serial_no", &U::serialNo, "The SerialNo text; empty when absent.")
      .field("ports", &U::ports, "The ports it links to, as written, in document order.")
      .field("line", &U::line, "The line of the element.");
  using P = dev::PortEntry;
  ValueClass<P>(m, "PortEntry", "A port element as a document file writes it.")
      .field("interface", &P::interfaceName, "The interface: \"Serial\".")
      .field("port_no", &P::portNo, "The PortNo: \"COM3\".")
      .field("units", &P::units, "The units it links to, as written, in document order.")
      .field("line", &P::line, "The line of the element.");
  using SE = dev::SetEntry;
  ValueClass<SE>(m, "SetEntry", "A Set element as a document file writes it.")
      .field("name", &SE::name, "The set's name.")
      .field("comment", &SE::comment, "Its comment.")
      .field("members", &SE::members, "The member unit ids, as written.")
      .field("line", &SE::line, "The line of the element.");
  using D = dev::DriverEntry;
  ValueClass<D>(m, "DriverEntry", "A driver File element.")
      .field("file", &D::file, "The driver file name.")
      .field("line", &D::line, "The line of the element.");

  py::enum_<dev::FindingKind>(m, "FindingKind", "What is wrong in a document.")
      .value("NOT_VALID", dev::FindingKind::NotValid, "The schema refuses the document (its first error).")
      .value("UNIT_WITHOUT_ID", dev::FindingKind::UnitWithoutId, "A Unit without UnitID.")
      .value("MALFORMED_UNIT_ID", dev::FindingKind::MalformedUnitId, "A UnitID that names no unit, such as U0170x0.")
      .value("DUPLICATE_UNIT_ID", dev::FindingKind::DuplicateUnitId, "A UnitID that an earlier Unit has.")
      .value("UNIT_SIDE_ONLY", dev::FindingKind::UnitSideOnly, "A unit's link whose port does not link back.")
      .value("PORT_SIDE_ONLY", dev::FindingKind::PortSideOnly, "A port's link whose unit does not link back.")
      .value("LINK_TO_MISSING_PORT", dev::FindingKind::LinkToMissingPort, "A unit's link naming no port.")
      .value("LINK_TO_MISSING_UNIT", dev::FindingKind::LinkToMissingUnit, "A port's or set's link naming no unit.")
      .value("DRIVER_CASE_TWIN", dev::FindingKind::DriverCaseTwin, "A driver file an earlier one has in other case.")
      .value("NO_SUCH_ACTIVE_SET", dev::FindingKind::NoSuchActiveSet, "An ActiveSet naming no set.")
      .value("SHARED_PORT", dev::FindingKind::SharedPort, "A port that links more than one unit.")
      .value("NOT_WELL_FORMED", dev::FindingKind::NotWellFormed, "The file is no XML (the parser's first error).")
      .value("UNCLOSED_ELEMENT", dev::FindingKind::UnclosedElement, "The file is no XML: an element left open.")
      .attr("__module__") = "kvodevice";
  using F = dev::Finding;
  ValueClass<F>(m, "Finding", "One thing wrong in a document, with its line.")
      .field("kind", &F::kind, "A FindingKind.")
      .field("line", &F::line, "The line it is on.")
      .field("text", &F::text, "One sentence naming the items.");

  using DC = dev::DocumentContent;
  ValueClass<DC>(m, "DocumentContent", "What a document file holds, with the line of each item (read_document).")
      .field("read", &DC::read, "The file could be read whole.")
      .field("well_formed", &DC::wellFormed, "It is XML: the lists are filled.")
      .field("valid", &DC::valid, "It matches the schema the library writes.")
      .field("error_code", &DC::errorCode, "Why it could not be read, is not XML or is not valid: the code.")
      .field("error_line", &DC::errorLine, "The line of that error.")
      .field("error_column", &DC::errorColumn, "The column of that error.")
      .text("error_reason", &DC::errorReason, "The error in the parser's or the system's words.")
      .field("error_kind", &DC::errorKind, "The error code in words.")
      .field("units", &DC::units, "The units, a list of UnitEntry.")
      .field("ports", &DC::ports, "The ports, a list of PortEntry.")
      .field("drivers", &DC::drivers, "The driver files, a list of DriverEntry.")
      .field("has_sets", &DC::hasSets, "The document has a Sets element.")
      .field("active_set", &DC::activeSet, "The active set's name; empty when none.")
      .field("active_set_line", &DC::activeSetLine, "The line of ActiveSet, 0 when there is none.")
      .field("sets", &DC::sets, "The sets, a list of SetEntry.")
      .field("findings", &DC::findings, "What is wrong, a list of Finding in line order.");

  using V = dev::ValueChange;
  ValueClass<V>(m, "ValueChange", "One value that differs.")
      .field("field", &V::field, "\"setup\", \"driver\", \"model\", \"name\", \"serialNo\", \"comment\" or \"activeSet\".")
      .field("before", &V::from, "The value in the first document; empty when absent.")
      .field("after", &V::to, "The value in the second document; empty when absent.");
  using L = dev::ListChange;
  ValueClass<L>(m, "ListChange", "Names on one side only, such as the ports a unit links to.")
      .field("added", &L::added, "In the second document only.")
      .field("removed", &L::removed, "In the first document only.");
  using UC = dev::UnitChange;
  ValueClass<UC>(m, "UnitChange", "A unit in both documents that differs.")
      .field("a", &UC::a, "The UnitEntry in the first document.")
      .field("b", &UC::b, "The UnitEntry in the second document.")
      .field("values", &UC::values, "The values that differ, a list of ValueChange.")
      .field("ports", &UC::ports, "The port links that differ, a ListChange.");
  using PC = dev::PortChange;
  ValueClass<PC>(m, "PortChange", "A port in both documents that differs.")
      .field("a", &PC::a, "The PortEntry in the first document.")
      .field("b", &PC::b, "The PortEntry in the second document.")
      .field("units", &PC::units, "The unit links that differ, a ListChange.");
  using SC = dev::SetChange;
  ValueClass<SC>(m, "SetChange", "A set in both documents that differs.")
      .field("a", &SC::a, "The SetEntry in the first document.")
      .field("b", &SC::b, "The SetEntry in the second document.")
      .field("comment", &SC::comment, "The comment's ValueChange, or None when it is the same.")
      .field("members", &SC::members, "The members that differ, a ListChange.");
  BindChanges<dev::UnitEntry, dev::UnitChange>(m, "UnitChanges", "The units that differ (UnitEntry, UnitChange).");
  BindChanges<dev::PortEntry, dev::PortChange>(m, "PortChanges", "The ports that differ (PortEntry, PortChange).");
  BindChanges<dev::DriverEntry, int>(m, "DriverChanges", "The driver files that differ (DriverEntry; never changed).");
  BindChanges<dev::SetEntry, dev::SetChange>(m, "SetChanges", "The sets that differ (SetEntry, SetChange).");

  using DD = dev::DocumentChanges;
  ValueClass<DD>(m, "DocumentChanges",
                 "What differs between two documents, by meaning: items matched by name, the order of links and "
                 "members not counted (compare, Configuration.refresh).")
      .field("units", &DD::units, "UnitChanges.")
      .field("ports", &DD::ports, "PortChanges.")
      .field("drivers", &DD::drivers, "DriverChanges.")
      .field("sets", &DD::sets, "SetChanges.")
      .field("active_set", &DD::activeSet, "The active set's ValueChange, or None when it is the same.")
      .field("set_list_added", &DD::setListAdded, "True: the Sets element came; False: it went; None: neither.")
      .text("error", &DD::error, "compare: why a file could not be compared; the changes are then empty.")
      .also("empty", &DD::empty, "True when the documents say the same.");

  m.def(
      "read_document", [](const FsPath& path) { return dev::ReadDocumentContent(path.path); }, py::arg("path"),
      "What the document file at `path` holds (a DocumentContent): units, ports, driver files, sets, each with "
      "its line, and the findings. Reads any copy (the document, a history version, the backup); changes nothing.");
  m.def(
      "compare",
      [](const FsPath& a, const FsPath& b) { return dev::CompareDocuments(a.path, b.path); }, py::arg("a"), py::arg("b"),
      "What changed from document file `a` to document file `b` (a DocumentChanges). A file that is XML but not valid is compared all the same; one that cannot be read "
      "gives empty changes with `error` saying why.");
  m.def("compare", &dev::CompareContent, py::arg("a"), py::arg("b"),
        "The same for two DocumentContent that read_document gave.");
}

}  // namespace kvopy
