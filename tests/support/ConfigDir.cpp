#include "tests/support/ConfigDir.h"

#include <kvodevice/Host.h>


#include "tests/support/XmlListing.h"

namespace testsupport {

ConfigDir::ConfigDir() { ssnSetDataDir(dir_.path().wstring().c_str()); }

ConfigDir::~ConfigDir() { ssnSetDataDir(nullptr); }

ConfigPtr ConfigDir::Open() const { return ConfigPtr(dev::CreateXMLFile()); }

std::string ConfigDir::Document(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\">" +
         body + "</Devices>\n";
}

std::string ConfigDir::Read(const std::string& name) const { return ReadFile(Path(name)); }

std::string ConfigDir::Listing(const std::string& name) const {
  platform::xml::Document document = platform::xml::Document::Create();
  document.SetValidateOnParse(false);
  if (!document.Load(Path(name).wstring())) return "<not well-formed>";
  return testsupport::Listing(document);
}

}  // namespace testsupport
