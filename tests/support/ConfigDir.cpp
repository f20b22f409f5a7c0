#include "tests/support/ConfigDir.h"

#include <kvodevice/ConfigurationContent.h>
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

std::vector<std::string> UnitIds(const std::filesystem::path& document) {
  const dev::DocumentContent content = dev::ReadDocumentContent(document.wstring());
  if (!content.valid) return {"<invalid>"};
  std::vector<std::string> ids;
  for (const auto& unit : content.units) ids.push_back(Narrow(unit.id));
  return ids;
}

std::vector<std::string> ConfigDir::Temporaries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    if (entry.path().filename().string().find(".tmp-") != std::string::npos) names.push_back(entry.path().filename());
  return names;
}

std::string ConfigDir::Listing(const std::string& name) const {
  platform::xml::Document document = platform::xml::Document::Create();
  document.SetValidateOnParse(false);
  if (!document.Load(Path(name).wstring())) return "<not well-formed>";
  return testsupport::Listing(document);
}

}  // namespace testsupport
