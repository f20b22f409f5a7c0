// The versions of the document that were replaced, kept in the folder
// "kvoDevice.history" beside it: the most recent N (KVO_HISTORY, default 20;
// 0 keeps none). A version is named "<UTC time>-<why>.xml"; a name never sorts
// before one already kept, even when the clock went back, so that the names'
// order is the order of keeping. It is the replaced file itself (a hard link)
// where the file system allows, else a copy with the document's permissions:
// never more readable than the document was.
//
// The folder is used through its descriptor only, and not at all when it is a
// link, not a directory, or owned by someone other than the data directory's
// owner or root; entries that are not regular files are never read, counted
// or removed.
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
  bool enabled() const noexcept { return keep_ > 0; }

  // A version kept for a save that has yet to replace the document.
  struct Pending {
    std::string name;  // empty: nothing was kept (history off, no document, or the same as the newest)
    std::vector<std::string> older;  // the versions before it, oldest first
  };
  // Keeps the file `document` names (a regular file) as the newest version,
  // unless it is the same as the newest already kept. False, with `error`,
  // when it could not be kept; the caller decides whether to go on.
  bool Keep(const platform::WriteTarget& document, Reason reason, Pending& pending, platform::FileError& error);
  // The save replaced the document: drops the oldest beyond the count, never
  // `pending`'s own. Returns the path of the version kept; empty when none was.
  std::wstring Commit(const Pending& pending);
  // The save failed: the history is left as it was.
  void Discard(const Pending& pending);

  // Why the folder may not be used; empty when it may, or is not there yet.
  std::wstring Unusable() const;

  // The versions kept, oldest first.
  std::vector<HistoryVersion> List() const;
  // Reads the version at `path` when it is an entry of this history, never
  // through a link; `inHistory` says whether it is one.
  platform::FileContent ReadVersion(const std::wstring& path, bool& inHistory) const;

 private:
  // The folder, opened and checked; invalid, with `error`, when it may not be used.
  platform::Directory OpenFolder(bool create, platform::FileError& error) const;
  // The names of the versions, oldest first.
  static std::vector<std::string> Names(const platform::Directory& folder);

  std::wstring dataDirectory_;
  std::size_t keep_;
  mutable platform::Directory folder_;  // open while a save keeps a version
};

}  // namespace dev
