// The device configuration service: the document "kvoDevice.xml" in the
// host's data directory, its lifecycle and its operations.
#pragma once

#include <kvodevice/IDeviceManagerIO.h>

#include <string>
#include <unordered_map>

#include "host/XMLDOMDocument.h"

namespace dev {

class CXMLFile : public IDeviceManagerIO, public utl::CXMLDOMDocument {
 public:
  // Opens the document; see CreateXMLFile.
  CXMLFile();
  // Saves the document (unless it holds no document element), then releases it.
  ~CXMLFile() override;

  bool Save() override;
  bool GetUnitList(std::vector<UnitKey>& units, bool skipExcluded) override;
  bool ExistsUnit(const UnitKey& key) override;
  bool AddUnit(const UnitKey& key) override;
  bool RemoveUnit(const UnitKey& unit) override;
  bool GetUnitPorts(const UnitKey& unit, std::vector<PortAddress>& ports) override;
  bool UnlinkUnitPort(const UnitKey& unit, const PortAddress& port) override;
  bool GetDriverFiles(std::set<std::wstring>& files) override;
  bool AddDriverFile(const CString& file) override;
  bool ClearDriverFiles() override;

 private:
  // Lifecycle.
  bool Open();
  bool ReplaceDamagedDocument();
  bool CreateDefaultDocument(CString* message);
  bool WriteSchema();
  static CString GetDataDirectory();
  static CString GetDocumentPath();
  static CString GetSchemaPath();

  // Unit removal.
  bool CollectSetNames(std::vector<CString>& setNames);
  bool EnsureSetsNode();
  // The first Set of each Name, by name.
  std::unordered_map<std::wstring, Node> FirstSetOfEachName();
  // Removes the first LinkedUnit of `set` that names the unit.
  bool RemoveUnitFromSet(const Node& set, const CString& unitId);
  // Removes every node of `nodes` from its parent; false at the first that cannot be.
  bool RemoveAll(const platform::xml::NodeList& nodes);
};

}  // namespace dev
