// The names of the device configuration document: every element name,
// attribute name and fixed value that the library writes or looks for, in one
// process-wide table that the document code and the schema writer share.
#pragma once

#include <kvodevice/CString.h>

#include <string>

#include "platform/com.h"

namespace dev {

struct XMLNameTable {
  const CString DocumentElement{L"Devices"};
  const CString UnitList{L"UnitList"};
  const CString Unit{L"Unit"};
  const CString Driver{L"Driver"};
  const CString UnitID{L"UnitID"};
  const CString DriverList{L"DriverList"};
  const CString File{L"File"};
  const CString Interfaces{L"Interfaces"};
  const CString Serial{L"Serial"};
  const CString ComPort{L"ComPort"};
  const CString PortNo{L"PortNo"};
  const CString COM{L"COM"};
  const CString LinkedUnit{L"LinkedUnit"};
  const CString LinkedInterface{L"LinkedInterface"};
  const CString Sets{L"Sets"};
  const CString Set{L"Set"};
  const CString ActiveSet{L"ActiveSet"};
  const CString Name{L"Name"};
  const CString Comment{L"Comment"};
  const CString ItemID{L"ItemID"};
  const CString Model{L"Model"};
  const CString UnitName{L"UnitName"};
  const CString SerialNo{L"SerialNo"};
  const CString setup{L"setup"};
  const CString include{L"include"};
  const CString exclude{L"exclude"};
  // The document element's name once more, in the DOM's own string form.
  const platform::com::_bstr_t DocumentElementBstr{DocumentElement.GetString()};
};

// Built by static initialisation when the library loads, before any of its
// code runs; destroyed at unload.
extern const XMLNameTable XMLNames;

// Names of XMLNames in UTF-8, as the tree holds them: compared with the
// tree's own text without converting it. Made on first use.
struct XMLNameBytes {
  std::string UnitList, Unit, UnitID, setup, exclude, LinkedInterface, Interfaces, Serial, ComPort, PortNo, LinkedUnit,
      ItemID, Sets, Set, Name, DriverList, File;
  // A Unit's children: Driver, Model, UnitName, SerialNo (by UnitText), LinkedInterface.
  std::string UnitChildren[5];
};
const XMLNameBytes& XMLNamesUtf8();

}  // namespace dev
