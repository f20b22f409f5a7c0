#include "host/SingleCont.h"

#include <vector>

namespace utl {
namespace {

// Namespace-scope objects of this library are built when it loads, before
// any library that uses it, and so outlive every client's exit actions.
CSection g_section;

}  // namespace

SingleCont::CSinglePtrBase::~CSinglePtrBase() = default;

void SingleCont::Releaser::operator()(CSinglePtrBase* holder) const {
  holder->Release();
  delete holder;
}

SingleCont& SingleCont::Get() {
  static SingleCont container;
  return container;
}

namespace {
// Built at load time (see g_section), so the container is destroyed after
// the exit actions of every library loaded later.
[[maybe_unused]] const SingleCont& g_container = SingleCont::Get();
}  // namespace

CSection& SingleCont::GetSection() { return g_section; }

SingleCont::~SingleCont() {
  // Entries that no exit action removed are released here.
  CLock lock(g_section, true);
  entries_.clear();
}

SingleCont::CSinglePtrBase* SingleCont::Find(const std::type_info& key) {
  CLock lock(g_section, true);
  const auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : it->second.get();
}

bool SingleCont::Add(const std::type_info& key, CSinglePtrBase* holder) {
  std::unique_ptr<CSinglePtrBase, Releaser> owned(holder);
  if (!owned) return false;
  CLock lock(g_section, true);
  return entries_.try_emplace(key, std::move(owned)).second;
}

bool SingleCont::Remove(const std::type_info& key) {
  std::unique_ptr<CSinglePtrBase, Releaser> removed;
  CLock lock(g_section, true);
  const auto it = entries_.find(key);
  if (it == entries_.end()) return false;
  removed = std::move(it->second);
  entries_.erase(it);
  return true;  // `removed` releases the holder once the section is left
}

}  // namespace utl
