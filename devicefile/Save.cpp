// Saving: only what changed, under the directory's lock, merged with what
// other writers saved meanwhile.
#include "devicefile/XMLFile.h"
#include "platform/clock.h"

namespace dev {
namespace {

// File systems stamp times in steps of up to a few milliseconds (seconds on
// some): a file rewritten within this long of being stamped may keep its
// time, so its content decides whether it changed.
constexpr std::int64_t kRacyNs = 2'000'000'000;

}  // namespace

bool CXMLFile::SaveChanges() noexcept {
  // The file is as it was when the save stops (a replace is whole or not at
  // all), and what was half merged is made again by the next save.
  return Reported([this] { return SaveOrThrow(); });
}

bool CXMLFile::SaveOrThrow() {
  saveReport_ = {};
  if (access_ == Access::ReadOnly) return SaveFailed({}, L"the configuration was opened read-only");
  if (!isDOMReady()) return SaveFailed({}, L"no document is loaded");
  if (!HasChanges() && !torn_) return true;
  HeldDocument held;
  if (!HoldDocument(held)) return SaveFailed(held.error, L"the configuration cannot be locked");
  platform::FileError error;
  if ((torn_ || !IsKnownFile(held)) && !MergeWithFile(held, error))
    return SaveFailed(error, L"another writer's document cannot be merged");
  if (HasChanges() && !WriteDocument(held, error))
    return SaveFailed(error, L"the document cannot be written");
  journal_.clear();
  unwritten_ = false;
  return true;
}

bool CXMLFile::IsKnownFile(HeldDocument& held) {
  const platform::FileStamp& now = held.target.old;
  if (now != known_.stamp) return false;
  if (now.kind == platform::FileStamp::Kind::Missing || !known_.racy) return true;
  if (!held.target.directory.Holds(held.target.name, known_.bytes, now)) return false;
  // Once the file is no longer racy a rewrite gets a later time, and the bytes go.
  Remember(now, std::move(known_.bytes), std::move(known_.pin));
  return true;
}

bool CXMLFile::MergeWithFile(HeldDocument& held, platform::FileError& error) {
  platform::xml::Document current = platform::xml::Document::Create();
  platform::FileContent content;
  switch (LoadDocumentFile(current, content, error, true, &held.target)) {
    case FileLoad::Unreadable:
    case FileLoad::SchemaUnwritable:
      return false;
    case FileLoad::Damaged:  // kept as the backup, as an opening keeps it; then as if it were removed
      if (!BackUpDamagedDocument(content, ParseErrorMessage(current), error)) return false;
      [[fallthrough]];
    case FileLoad::Missing:  // nothing to merge with: this object's document is written
      if (!torn_) return true;
      // A torn document is made again on a default one.
      if (!CreateDefaultDocument(nullptr)) return false;
      break;
    case FileLoad::Loaded:
      m_dom = current;
      Remember(content.stamp, std::move(content.bytes));
      unwritten_ = false;  // a default document yields to the file another writer saved
      break;
  }
  // The same changes with the same arguments; one that no longer applies
  // answers false, changes nothing, and is reported.
  saveReport_.dropped = Replay();
  return true;
}

bool CXMLFile::WriteDocument(HeldDocument& held, platform::FileError& error, History::Reason reason) {
  std::string bytes;
  try {
    bytes = m_dom.Serialize();
  } catch (const platform::com::_com_error&) {
    error = {};
    return false;
  }
  // The version this write replaces, kept only once it is replaced; whether
  // it could be kept does not matter to the write, but the report says so.
  History::Pending version;
  platform::FileError unkept;
  history_.Keep(held.target, reason, version, unkept);
  platform::Written written;
  if (!held.target.directory.Replace(held.target.name, bytes, m_writeOptions, held.target.old, error, &written)) {
    history_.Discard(version);
    return false;
  }
  saveReport_.kept = history_.Commit(version);
  held.target.old = written.stamp;
  if (unkept) saveReport_.reason = L"the replaced version was not kept in the history: " + unkept.Describe();
  Remember(written.stamp, std::move(bytes), std::move(written.file));
  return true;
}

void CXMLFile::Remember(const platform::FileStamp& stamp, std::string bytes, platform::Descriptor pin) {
  known_.stamp = stamp;
  known_.racy = pin.get() < 0 && platform::RealTimeNs() - stamp.modifiedNs < kRacyNs;
  known_.bytes = known_.racy ? std::move(bytes) : std::string();
  known_.pin = std::move(pin);
}

bool CXMLFile::SaveFailed(const platform::FileError& error, const std::wstring& what) {
  saveReport_.failed = true;
  saveReport_.systemError = error.code;
  saveReport_.reason = what;
  if (error) saveReport_.reason += L": " + error.Describe();
  return false;
}

}  // namespace dev
