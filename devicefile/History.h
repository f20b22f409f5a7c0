// The versions of the document that were replaced, kept in the folder
// "kvoDevice.history" beside it: the most recent N (KVO_HISTORY, default 20;
// 0 keeps none). A version is named "<UTC time>-<why>.xml", so that names sort
// by time. It is the replaced file itself (a hard link) where the file system
// allows, else a copy with the document's permissions: never more readable
// than the document was.
#pragma once

#include <kvodevice/ConfigurationFile.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/files.h"

namespace dev {

class History {
 public:
  enum class Reason { Save, Recovery, Restore };

  // The history of the document in `dataDirectory`, keeping `keep` versions.
  History(std::wstring dataDirectory, std::size_t keep);
  // How many versions KVO_HISTORY asks for: a number, else 20.
  static std::size_t KeepFromEnvironment();

  // Keeps the file at `document` (a regular file, not a link; `stamp` is what
  // it is) as the newest version, then drops the oldest beyond the count.
  // False, with `error`, when it could not be kept; the caller goes on: a
  // version is worth less than the save that replaces it.
  bool Keep(const std::wstring& document, const platform::FileStamp& stamp, Reason reason, platform::FileError& error);

  // The versions kept, oldest first.
  std::vector<HistoryVersion> List() const;

 private:
  // The names of the versions, oldest first.
  std::vector<std::wstring> Names() const;
  void DropOldest();

  std::wstring folder_;
  std::size_t keep_;
};

}  // namespace dev
