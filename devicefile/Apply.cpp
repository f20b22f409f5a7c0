// Changes as data: the one dispatcher that makes a change on a document, the
// journal that keeps it, and the replay on another writer's newer file.
#include <algorithm>
#include <exception>

#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"

namespace dev {
namespace {

using Kind = Change::Kind;

// Marks the document torn when the scope is left by an exception: a change
// may then be half made.
class TornOnThrow {
 public:
  explicit TornOnThrow(bool& torn) : torn_(torn) {}
  ~TornOnThrow() {
    if (std::uncaught_exceptions() > uncaught_) torn_ = true;
  }
  TornOnThrow(const TornOnThrow&) = delete;
  TornOnThrow& operator=(const TornOnThrow&) = delete;

 private:
  bool& torn_;
  const int uncaught_ = std::uncaught_exceptions();
};

bool NamesUnit(Kind kind) {
  return kind == Kind::LinkUnitPort || kind == Kind::SetUnitText || kind == Kind::SetUnitSetup ||
         kind == Kind::AddSetMember;
}

bool NamesSet(const Change& change) {
  return change.kind == Kind::SetSetComment || change.kind == Kind::AddSetMember || change.kind == Kind::RenameSet ||
         change.kind == Kind::DeleteSet ||
         (change.kind == Kind::SetActiveSet && !change.name.empty());
}

}  // namespace

bool CXMLFile::Record(Change change, Applied* applied) {
  if (!isDOMReady()) return false;
  Applied ignored;
  // Room first, so that a change once made is kept without a throw; grown
  // by doubling, as push_back would, so that a long journal is not copied at
  // every change.
  if (journal_.size() == journal_.capacity()) journal_.reserve(std::max<std::size_t>(16, 2 * journal_.capacity()));
  TornOnThrow tornOnThrow(torn_);
  const std::uint64_t before = m_dom.ChangeCount();
  const bool answer = Apply(change, applied != nullptr ? *applied : ignored);
  if (m_dom.ChangeCount() != before) journal_.push_back(std::move(change));
  return answer;
}

bool CXMLFile::Apply(const Change& change, Applied& applied) {
  // What the change names must be there; a change whose effect is there
  // already answers false too, but loses nothing.
  if (NamesUnit(change.kind) && !FindUnit(change.unit)) {
    applied.lost = FormatUnitID(change.unit).str() + L" is no longer listed";
    return false;
  }
  if (NamesSet(change) && !FindSet(change.name)) {
    applied.lost = L"the set \"" + change.name + L"\" is no longer there";
    return false;
  }
  switch (change.kind) {
    case Kind::AddUnit: return AddUnitToDocument(change.unit);
    case Kind::AddSets: return EnsureSetsNode();
    case Kind::RemoveUnit: return RemoveUnitFromDocument(change.unit);
    case Kind::UnlinkUnitPort: return UnlinkInDocument(change.unit, change.port);
    case Kind::RemoveEmptyDriverFiles: return RemoveEmptyDriverFiles();
    case Kind::AddDriverFile: return AddDriverFileToDocument(change.name);
    case Kind::ClearDriverFiles: return ClearDriverFilesInDocument();
    case Kind::RemoveDriverFile: return RemoveDriverFileFromDocument(change.name);
    case Kind::LinkUnitPort: return LinkInDocument(change.unit, change.port);
    case Kind::RemovePort: return RemovePortFromDocument(change.port);
    case Kind::SetUnitText: return SetUnitTextInDocument(change.unit, change.which, change.text);
    case Kind::SetUnitSetup: return SetUnitSetupInDocument(change.unit, change.setup);
    case Kind::CreateSet:
      if (FindSet(change.name)) {
        applied.lost = L"another writer made a set \"" + change.name + L"\"";
        return false;
      }
      return CreateSetInDocument(change.name, change.text.value_or(L""));
    case Kind::SetSetComment: return SetSetCommentInDocument(change.name, change.text.value_or(L""));
    case Kind::AddSetMember: return AddSetMemberInDocument(change.name, change.unit);
    case Kind::RemoveSetMember: return RemoveSetMemberInDocument(change.name, change.unit);
    case Kind::SetActiveSet: return SetActiveSetInDocument(change.name);
    case Kind::RepairLinks:
      applied.repairs = RepairLinksInDocument(true);
      return true;
    case Kind::RenameUnit:
      if (!RenameUnitInDocument(change.text.value_or(L""), change.unit)) {
        applied.lost = L"no unit is " + change.text.value_or(L"") + L" any more, or " +
                       FormatUnitID(change.unit).str() + L" is listed";
        return false;
      }
      return true;
    case Kind::RenameSet:
      if (!RenameSetInDocument(change.name, change.text.value_or(L""))) {
        applied.lost = L"another writer made a set \"" + change.text.value_or(L"") + L"\"";
        return false;
      }
      return true;
    case Kind::DeleteSet: return DeleteSetInDocument(change.name);
  }
  return false;
}

std::vector<std::wstring> CXMLFile::Replay() {
  TornOnThrow tornOnThrow(torn_);
  std::vector<Change> kept;
  kept.reserve(journal_.size());
  std::vector<std::wstring> dropped;
  for (const Change& change : journal_) {
    Applied applied;
    const std::uint64_t before = m_dom.ChangeCount();
    const bool answer = Apply(change, applied);
    if (m_dom.ChangeCount() != before)
      kept.push_back(change);
    else if (!answer && !applied.lost.empty())
      dropped.push_back(Name(change) + L": " + applied.lost);
  }
  journal_ = std::move(kept);
  torn_ = false;
  return dropped;
}

std::vector<std::wstring> CXMLFile::PendingChanges() const {
  std::vector<std::wstring> lines;
  lines.reserve(journal_.size());
  for (const Change& change : journal_) lines.push_back(Describe(change));
  return lines;
}

}  // namespace dev
