#include "schema/XMLDeviceSchema.h"

#include "names/XMLNames.h"

namespace dev {
namespace {

using platform::com::_bstr_t;

_bstr_t Bstr(const CString& text) { return _bstr_t(text.GetString()); }
CString Text(const _bstr_t& text) { return CString(text.view()); }

}  // namespace

CXMLDeviceSchema::CXMLDeviceSchema(const CString& path) : CXMLSchema(path) {
  // The schema is the library's own file: whatever the old one had, it is
  // written as a new file, which those who can read the document can read.
  m_writeOptions.permissions = platform::Permissions::New;
}

CXMLDeviceSchema::~CXMLDeviceSchema() = default;

bool CXMLDeviceSchema::Generate() {
  try {
    Build();
    return save();
  } catch (const platform::com::_com_error&) {
    return false;  // nothing was saved: the file on disk is as it was
  }
}

std::string CXMLDeviceSchema::Serialized() {
  try {
    Build();
    return m_dom.Serialize();
  } catch (const platform::com::_com_error&) {
    return {};
  }
}

void CXMLDeviceSchema::Build() {
  BeginSchema(L"schema file for kvoRQ device information");
  newLine();
  addComment(L"simple type definitions", Node());
  newLine();
  AddSimpleTypes();
  newLine();
  addComment(L"complex type definitions", Node());
  newLine();
  AddSerialPortListType();
  newLine();
  AddUnitType();
  newLine();
  AddLinkedItemType();
  newLine();
  addComment(L"document element: Devices", Node());
  newLine();
  const Node devices = DeclareElement(m_dom.DocumentElement(), XMLNames.DocumentElement);
  const Node all = AddAll(AnonymousComplexType(devices));
  AddUnitListElement(all);
  AddInterfacesElement(all);
  AddDriverListElement(all);
  AddSetsElement(all);
}

// (A) tSetup: "include" or "exclude".
void CXMLDeviceSchema::AddSimpleTypes() {
  const Node simpleType = NamedType(kSimpleType, m_tSetup);
  const Node restriction = newNode(Vocabulary(kRestriction), simpleType, &Vocabulary(kBase), &Vocabulary(kString));
  const _bstr_t pattern((XMLNames.include + L"|" + XMLNames.exclude).str());
  newNode(Vocabulary(kPattern), restriction, &Vocabulary(kValue), &pattern);
}

// (B) SerialPortList: a sequence of ComPort.
void CXMLDeviceSchema::AddSerialPortListType() {
  AddComPortElement(AddSequence(NamedType(kComplexType, m_serialPortList)));
}

void CXMLDeviceSchema::AddComPortElement(const Node& sequence) {
  const Node comPort = DeclareElement(sequence, XMLNames.ComPort);
  SetOccurs(comPort, 0, kUnbounded);
  const Node type = AnonymousComplexType(comPort);
  DeclareTypedElement(AddSequence(type), XMLNames.LinkedUnit, Text(m_linkedItem), 0, kUnbounded);
  DeclareAttribute(type, XMLNames.PortNo, Text(Vocabulary(kId)));
}

// (C) Unit: optional Driver, Model, UnitName, SerialNo, any LinkedInterface.
void CXMLDeviceSchema::AddUnitType() {
  const Node type = NamedType(kComplexType, m_unit);
  const Node sequence = AddSequence(type);
  const CString string = Text(Vocabulary(kString));
  for (const CString* name : {&XMLNames.Driver, &XMLNames.Model, &XMLNames.UnitName, &XMLNames.SerialNo})
    DeclareTypedElement(sequence, *name, string, 0, 1);
  DeclareTypedElement(sequence, XMLNames.LinkedInterface, Text(m_linkedItem), 0, kUnbounded);
  DeclareAttribute(type, XMLNames.UnitID, Text(Vocabulary(kId)));
  const Node setup = DeclareAttribute(type, XMLNames.setup, Text(m_tSetup));
  const CString use = Text(Vocabulary(kUse)), optional = Text(Vocabulary(kOptional));
  setAttribute(setup, &use, &optional);
}

// (D) LinkedItem: one IDREF.
void CXMLDeviceSchema::AddLinkedItemType() {
  DeclareAttribute(NamedType(kComplexType, m_linkedItem), XMLNames.ItemID, Text(Vocabulary(kIdRef)));
}

void CXMLDeviceSchema::AddUnitListElement(const Node& all) {
  const Node unitList = DeclareElement(all, XMLNames.UnitList);
  SetMinOccurs(unitList, 0);
  DeclareTypedElement(AddSequence(AnonymousComplexType(unitList)), XMLNames.Unit, Text(m_unit), 0, kUnbounded);
}

void CXMLDeviceSchema::AddInterfacesElement(const Node& all) {
  const Node interfaces = DeclareElement(all, XMLNames.Interfaces);
  SetMinOccurs(interfaces, 0);
  DeclareTypedElement(AddSequence(AnonymousComplexType(interfaces)), XMLNames.Serial, Text(m_serialPortList), 0, 1);
}

void CXMLDeviceSchema::AddDriverListElement(const Node& all) {
  const Node driverList = DeclareElement(all, XMLNames.DriverList);
  SetMinOccurs(driverList, 0);
  SetMaxOccurs(driverList, 1);
  DeclareTypedElement(AddSequence(AnonymousComplexType(driverList)), XMLNames.File, Text(Vocabulary(kString)), 0,
                      kUnbounded);
}

void CXMLDeviceSchema::AddSetsElement(const Node& all) {
  const Node sets = DeclareElement(all, XMLNames.Sets);
  SetMinOccurs(sets, 0);
  const Node sequence = AddSequence(AnonymousComplexType(sets));
  AddActiveSetElement(sequence);
  AddSetElement(sequence);
}

void CXMLDeviceSchema::AddActiveSetElement(const Node& sequence) {
  const Node type = AnonymousComplexType(DeclareElement(sequence, XMLNames.ActiveSet));
  AddSequence(type);  // stays empty
  DeclareAttribute(type, XMLNames.Name, Text(Vocabulary(kString)));
}

void CXMLDeviceSchema::AddSetElement(const Node& sequence) {
  const Node set = DeclareElement(sequence, XMLNames.Set);
  SetOccurs(set, 0, kUnbounded);
  const Node type = AnonymousComplexType(set);
  const Node members = AddSequence(type);
  SetType(DeclareElement(members, XMLNames.Comment), Text(Vocabulary(kString)));
  DeclareTypedElement(members, XMLNames.LinkedUnit, Text(m_linkedItem), 0, kUnbounded);
  DeclareAttribute(type, XMLNames.Name, Text(Vocabulary(kString)));
}

CXMLDeviceSchema::Node CXMLDeviceSchema::NamedType(Word kind, const _bstr_t& typeName) {
  return newNode(Vocabulary(kind), m_dom.DocumentElement(), &m_name, &typeName);
}

CXMLDeviceSchema::Node CXMLDeviceSchema::DeclareElement(const Node& parent, const CString& name) {
  const _bstr_t value = Bstr(name);
  return newNode(Vocabulary(kElement), parent, &m_name, &value);
}

CXMLDeviceSchema::Node CXMLDeviceSchema::DeclareAttribute(const Node& complexType, const CString& name,
                                                          const CString& typeName) {
  const _bstr_t value = Bstr(name);
  const Node attribute = newNode(Vocabulary(kAttribute), complexType, &m_name, &value);
  SetType(attribute, typeName);
  return attribute;
}

CXMLDeviceSchema::Node CXMLDeviceSchema::AnonymousComplexType(const Node& declaration) {
  return newNode(Vocabulary(kComplexType), declaration, nullptr, nullptr);
}

void CXMLDeviceSchema::DeclareTypedElement(const Node& parent, const CString& name, const CString& typeName,
                                           int minCount, int maxCount) {
  SetTypeAndOccurs(DeclareElement(parent, name), typeName, minCount, maxCount);
}

}  // namespace dev
