// The host's process-wide singleton container: it owns one holder per key (a
// run-time type identity) and releases each holder when its entry is removed.
#pragma once

#include <kvodevice/Export.h>

#include <boost/noncopyable.hpp>
#include <map>
#include <memory>
#include <typeindex>
#include <typeinfo>

#include "host/Section.h"

namespace utl {

// Mix-in of classes that live in the container: one instance, never copied.
template <typename T>
class TSingle : private boost::noncopyable {
 protected:
  TSingle() = default;
  ~TSingle() = default;
};

class KVO_HOST_API SingleCont : private boost::noncopyable {
 public:
  // What the container stores. The destructor frees only the holder; Release
  // frees what the holder holds.
  class KVO_HOST_API CSinglePtrBase {
   public:
    virtual ~CSinglePtrBase();
    virtual void Release() = 0;
  };

  // Holds one instance of T and deletes it on Release.
  template <typename T>
  class TSinglePtrHelp : public CSinglePtrBase {
   public:
    explicit TSinglePtrHelp(T* instance) : instance_(instance) {}
    void Release() override {
      delete instance_;
      instance_ = nullptr;
    }
    T* Get() const { return instance_; }

   private:
    T* instance_;
  };

  // The process-wide container, and the section that callers hold while they
  // look an entry up and create it.
  static SingleCont& Get();
  static CSection& GetSection();

  virtual ~SingleCont();

  // The holder under `key`, or null.
  virtual CSinglePtrBase* Find(const std::type_info& key);
  // Takes ownership of `holder` (null is ignored). Returns false, and releases
  // and deletes `holder`, when the key already has an entry.
  virtual bool Add(const std::type_info& key, CSinglePtrBase* holder);
  // Removes the entry under `key`, releasing and deleting its holder. Returns
  // false when there was none.
  virtual bool Remove(const std::type_info& key);

 private:
  SingleCont() = default;

  // Releases, then deletes, a holder.
  struct Releaser {
    void operator()(CSinglePtrBase* holder) const;
  };
  std::map<std::type_index, std::unique_ptr<CSinglePtrBase, Releaser>> entries_;
};

}  // namespace utl
