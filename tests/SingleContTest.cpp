// The host's singleton container.
#include <gtest/gtest.h>

#include "host/SingleCont.h"

namespace {

struct Counted {
  static inline int alive = 0;
  Counted() { ++alive; }
  ~Counted() { --alive; }
};
struct OtherKey {};

using Holder = utl::SingleCont::TSinglePtrHelp<Counted>;

TEST(SingleCont, OwnsHoldersAndReleasesThemOnRemove) {
  utl::SingleCont& container = utl::SingleCont::Get();
  utl::CLock lock(utl::SingleCont::GetSection(), true);
  EXPECT_EQ(container.Find(typeid(Counted)), nullptr);

  auto* first = new Holder(new Counted);
  ASSERT_TRUE(container.Add(typeid(Counted), first));
  EXPECT_EQ(container.Find(typeid(Counted)), first);
  EXPECT_EQ(container.Find(typeid(OtherKey)), nullptr);

  // A second holder under the same key is refused and released at once.
  EXPECT_FALSE(container.Add(typeid(Counted), new Holder(new Counted)));
  EXPECT_EQ(Counted::alive, 1);
  EXPECT_EQ(container.Find(typeid(Counted)), first);
  EXPECT_FALSE(container.Add(typeid(OtherKey), nullptr));

  EXPECT_TRUE(container.Remove(typeid(Counted)));
  EXPECT_EQ(Counted::alive, 0);
  EXPECT_EQ(container.Find(typeid(Counted)), nullptr);
  EXPECT_FALSE(container.Remove(typeid(Counted)));
}

}  // namespace
