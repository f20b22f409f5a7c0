// The XML Schema of the device configuration document, "kvoDevice.xsd".
#pragma once

#include "schema/XMLSchema.h"

namespace dev {

class CXMLDeviceSchema : public CXMLSchema {
 public:
  // Binds an empty document to the schema file's path.
  explicit CXMLDeviceSchema(const CString& path);
  ~CXMLDeviceSchema() override;

  // Builds the whole schema and saves it over the file at the path (the old
  // file is replaced atomically). True when the save succeeded; false, with
  // the file as it was, when anything failed.
  bool Generate();
  // The same schema as text, written nowhere; empty when it cannot be built.
  std::string Serialized();

 private:
  // Builds the schema in the DOM; raises _com_error when the DOM fails.
  void Build();
  void AddSimpleTypes();
  void AddSerialPortListType();
  void AddComPortElement(const Node& sequence);
  void AddUnitType();
  void AddLinkedItemType();
  void AddUnitListElement(const Node& all);
  void AddInterfacesElement(const Node& all);
  void AddDriverListElement(const Node& all);
  void AddSetsElement(const Node& all);
  void AddActiveSetElement(const Node& sequence);
  void AddSetElement(const Node& sequence);

  // Idioms that every piece uses: a named type under the document element,
  // an element or attribute declaration named `name`, an anonymous complex
  // type under a declaration.
  Node NamedType(Word kind, const platform::com::_bstr_t& typeName);
  Node DeclareElement(const Node& parent, const CString& name);
  Node DeclareAttribute(const Node& complexType, const CString& name, const CString& typeName);
  Node AnonymousComplexType(const Node& declaration);
  // An element of `typeName` with the given counts, as most children are declared.
  void DeclareTypedElement(const Node& parent, const CString& name, const CString& typeName, int minCount,
                           int maxCount);

  const platform::com::_bstr_t m_name{L"name"};
  const platform::com::_bstr_t m_linkedItem{L"LinkedItem"};
  const platform::com::_bstr_t m_serialPortList{L"SerialPortList"};
  const platform::com::_bstr_t m_unit{L"Unit"};
  const platform::com::_bstr_t m_tSetup{L"tSetup"};
};

}  // namespace dev
