// A small base for writing an XML Schema document: the XML Schema vocabulary
// and the primitives every schema writer needs. Declarations are made by the
// derived class with the host's newNode and this vocabulary.
#pragma once

#include <kvodevice/CString.h>

#include <array>

#include "host/XMLDOMDocument.h"
#include "platform/com.h"

namespace dev {

class CXMLSchema : public utl::CXMLDOMDocument {
 public:
  // Indexes into the vocabulary.
  enum Word {
    kSchema, kXmlnsXs, kXsNamespace, kElementFormDefault, kQualified, kSimpleType, kComplexType,
    kElement, kAttribute, kAll, kChoice, kSequence, kMaxOccurs, kMinOccurs, kId, kIdRef, kType,
    kString, kDecimal, kInteger, kRestriction, kBase, kPattern, kValue, kUse, kOptional, kWordCount
  };
  // The count written for "unbounded".
  static constexpr int kUnbounded = -1;

  // Binds the (empty) document to `path`; loads nothing.
  explicit CXMLSchema(const CString& path);
  ~CXMLSchema() override;

 protected:
  const platform::com::_bstr_t& Vocabulary(Word word) const { return m_vocabulary[word]; }

  // Writes the XML declaration, `headerComment` at top level and the root
  // element xs:schema with xmlns:xs and elementFormDefault, in that order.
  // Call once, first. Raises _com_error when there is no DOM document.
  bool BeginSchema(const CString& headerComment);
  // Append an xs:sequence / xs:all as the last child of `parent`; null when
  // the host could not.
  Node AddSequence(const Node& parent);
  Node AddAll(const Node& parent);

  // Each returns false, writing nothing for that step, for a null
  // declaration; counts are written in decimal, -1 as "unbounded" (refused
  // for minOccurs), and counts below -1 are refused.
  bool SetType(const Node& declaration, const CString& typeName);
  bool SetMinOccurs(const Node& declaration, int count);
  bool SetMaxOccurs(const Node& declaration, int count);
  // Both counts; refused as a whole when `minCount` exceeds a bounded `maxCount`.
  bool SetOccurs(const Node& declaration, int minCount, int maxCount);
  // Type, minOccurs and maxOccurs in that order, stopping at the first refusal
  // (what was written stays), with no comparison of the counts.
  bool SetTypeAndOccurs(const Node& declaration, const CString& typeName, int minCount, int maxCount);

 private:
  bool SetOccursAttribute(const Node& declaration, const platform::com::_bstr_t& attributeName, int count);

  std::array<platform::com::_bstr_t, kWordCount> m_vocabulary;
};

}  // namespace dev
