// The camera processing types by name, as caps and ini show them.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

#include <string>

namespace kvodev {

struct NamedType {
  const char* name;
  const char* column;  // short enough for a table heading
  int type;
};

inline constexpr NamedType kNamedTypes[] = {
    {"Shading", "Shading", tro::cam::Shading},
    {"CustomGrayscale", "CustomGray", tro::cam::CustomGrayscale},
    {"Splitting", "Splitting", tro::cam::Splitting},
    {"AutoExposure", "AutoExp", tro::cam::AutoExposure},
    {"Whitebalance", "WhiteBal", tro::cam::Whitebalance},
    {"Blackbalance", "BlackBal", tro::cam::Blackbalance},
    {"Accumulation", "Accum", tro::cam::Accumulation},
    {"HDRI", "HDRI", tro::cam::HDRI},
};

// The types that INI settings are asked about: every type below 32.
inline constexpr int kTypeCount = 32;

inline const NamedType* Named(int type) {
  for (const NamedType& named : kNamedTypes)
    if (named.type == type) return &named;
  return nullptr;
}

inline std::string TypeName(int type) {
  const NamedType* named = Named(type);
  return named != nullptr ? named->name : "type " + std::to_string(type);
}

}  // namespace kvodev
