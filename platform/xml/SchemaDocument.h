// What is read and changed in a schema's own document before libxml2
// compiles it.
#pragma once

#include <libxml/tree.h>

namespace platform::xml {

// Why compiling `schema` would make libxml2 read something besides it (a
// document type, an include, import, redefine or override), or nullptr.
const char* ReachesBeyond(xmlDocPtr schema);

// Retypes every attribute declaration of type xs:IDREF as xs:NCName, with
// the prefix it used. The schema then accepts and refuses the same
// documents, and libxml2 keeps no table of references while it validates.
// True when there was any.
bool RetypeReferences(xmlDocPtr schema);

}  // namespace platform::xml
