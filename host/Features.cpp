#include <kvodevice/Host.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "host/FeatureChanges.h"
#include "host/SingleCont.h"
#include "platform/Boundary.h"
#include "platform/strings.h"

namespace pkg {
namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

bool SameName(const std::wstring& folded, const wchar_t* name) {
  std::size_t i = 0;
  for (; i < folded.size(); ++i)
    if (name[i] == L'\0' || FoldAscii(name[i]) != folded[i]) return false;
  return name[i] == L'\0';
}

// The switches, readable without a lock: a slot's name is written before the
// slot is published (release store of `used`) and never changes afterwards;
// only its state flips. Slots are never removed, so names stay few and the
// memory bounded however often a switch is flipped.
class Switches {
 public:
  // Switches on the names of KVO_FEATURES.
  void ReadEnvironment() {
    const char* env = std::getenv("KVO_FEATURES");
    if (env == nullptr) return;
    const std::wstring list = platform::WidePath(env);
    for (std::size_t begin = 0; begin <= list.size();) {
      std::size_t end = list.find(L',', begin);
      if (end == std::wstring::npos) end = list.size();
      std::wstring_view item(list.data() + begin, end - begin);
      while (!item.empty() && (item.front() == L' ' || item.front() == L'\t')) item.remove_prefix(1);
      while (!item.empty() && (item.back() == L' ' || item.back() == L'\t')) item.remove_suffix(1);
      if (!item.empty()) Set(std::wstring(item).c_str(), true);
      begin = end + 1;
    }
  }

  bool IsOn(const wchar_t* name) const {
    for (const Chunk* chunk = &first_; chunk != nullptr; chunk = chunk->next.load(std::memory_order_acquire)) {
      const std::size_t used = chunk->used.load(std::memory_order_acquire);
      for (std::size_t i = 0; i < used; ++i)
        if (SameName(chunk->slots[i].name, name)) return chunk->slots[i].on.load(std::memory_order_relaxed);
    }
    return false;
  }

  void Set(const wchar_t* name, bool on) {
    std::lock_guard lock(writer_);
    Chunk* chunk = &first_;
    for (;; chunk = chunk->next.load(std::memory_order_relaxed)) {
      const std::size_t used = chunk->used.load(std::memory_order_relaxed);
      for (std::size_t i = 0; i < used; ++i) {
        if (SameName(chunk->slots[i].name, name)) {
          chunk->slots[i].on.store(on, std::memory_order_relaxed);
          return;
        }
      }
      if (chunk->next.load(std::memory_order_relaxed) == nullptr) break;
    }
    if (!on) return;  // an unknown name is off already
    if (chunk->used.load(std::memory_order_relaxed) == kSlots) {
      more_.push_back(std::make_unique<Chunk>());
      chunk->next.store(more_.back().get(), std::memory_order_release);
      chunk = more_.back().get();
    }
    const std::size_t index = chunk->used.load(std::memory_order_relaxed);
    Slot& slot = chunk->slots[index];
    for (const wchar_t* c = name; *c != L'\0'; ++c) slot.name.push_back(FoldAscii(*c));
    slot.on.store(true, std::memory_order_relaxed);
    chunk->used.store(index + 1, std::memory_order_release);
  }

 private:
  static constexpr std::size_t kSlots = 16;
  struct Slot {
    std::wstring name;  // ASCII letters in lower case
    std::atomic<bool> on{false};
  };
  struct Chunk {
    std::array<Slot, kSlots> slots;
    std::atomic<std::size_t> used{0};
    std::atomic<Chunk*> next{nullptr};
  };

  Chunk first_;
  std::vector<std::unique_ptr<Chunk>> more_;
  std::mutex writer_;
};

// Built when this library loads, before any caller can run. The environment
// is read on first use instead, so that a host may still set it in main().
Switches g_switches;
std::atomic<bool> g_environmentRead{false};
std::once_flag g_environmentOnce;

Switches& AllSwitches() {
  if (!g_environmentRead.load(std::memory_order_acquire)) {
    std::call_once(g_environmentOnce, [] {
      g_switches.ReadEnvironment();
      g_environmentRead.store(true, std::memory_order_release);
    });
  }
  return g_switches;
}

// Tells the library that keeps switches, if one is loaded, that they changed.
// Under the container's section, which the library holds while it removes
// the counter.
void CountChange() {
  utl::CLock lock(utl::SingleCont::GetSection(), true);
  if (utl::SingleCont::CSinglePtrBase* found = utl::SingleCont::Get().Find(typeid(FeatureChanges)))
    static_cast<FeatureChanges*>(found)->count.fetch_add(1, std::memory_order_release);  // only one is under its type
}

}  // namespace

bool isFeatureEnabled(const wchar_t* name) {
  if (name == nullptr || *name == L'\0') return false;
  return platform::NoThrow(false, [name] { return AllSwitches().IsOn(name); });
}

void setFeatureEnabled(const wchar_t* name, bool on) {
  if (name == nullptr || *name == L'\0') return;
  platform::NoThrow(false, [name, on] {
    AllSwitches().Set(name, on);
    CountChange();
    return true;
  });
}

}  // namespace pkg
