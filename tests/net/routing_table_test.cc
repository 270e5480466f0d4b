#include "net/routing_table.h"

#include <gtest/gtest.h>

namespace net {
namespace {

struct Owner {
  int id;
};

class RoutingTableSlots : public ::testing::Test {
 protected:
  Owner a_{1}, b_{2}, c_{3};
  RoutingTable<Owner> table_;
};

TEST_F(RoutingTableSlots, AddingTheSameHandleTwiceKeepsTheFirstOwner) {
  table_.Add(7, &a_);
  table_.Add(7, &b_);
  EXPECT_EQ(table_.Find(7), &a_);
  EXPECT_EQ(table_.Count(), 1u);
}

TEST_F(RoutingTableSlots, RemovedSlotIsReusedByTheNextHandleAndCountNeverShrinks) {
  table_.Add(7, &a_);
  table_.Add(8, &b_);
  table_.Remove(7);
  EXPECT_EQ(table_.Find(7), nullptr);
  EXPECT_EQ(table_.HandleAt(0), -1);
  EXPECT_EQ(table_.Count(), 2u);
  table_.Add(9, &c_);
  EXPECT_EQ(table_.HandleAt(0), 9);
  EXPECT_EQ(table_.Count(), 2u);
  table_.Add(10, &a_);
  EXPECT_EQ(table_.HandleAt(2), 10);
  EXPECT_EQ(table_.Count(), 3u);
}

TEST_F(RoutingTableSlots, AddStopsAtTheFirstFreeSlotEvenIfTheHandleSitsLater) {
  table_.Add(1, &a_);
  table_.Add(2, &b_);
  table_.Remove(1);
  table_.Add(2, &c_);  // the free slot 0 comes first
  EXPECT_EQ(table_.HandleAt(0), 2);
  EXPECT_EQ(table_.Find(2), &c_);
}

TEST_F(RoutingTableSlots, ReassignReplacesTheOwnerAndResetEmptiesTheTable) {
  table_.Add(5, &a_);
  table_.Reassign(5, &b_);
  EXPECT_EQ(table_.Find(5), &b_);
  table_.Reassign(6, &c_);
  EXPECT_EQ(table_.Find(6), nullptr);
  table_.Reset();
  EXPECT_EQ(table_.Count(), 0u);
  EXPECT_EQ(table_.Find(5), nullptr);
}

TEST_F(RoutingTableSlots, FreeMarkerIsNeverFound) {
  table_.Add(5, &a_);
  table_.Remove(5);
  EXPECT_EQ(table_.Find(-1), nullptr);
}

}  // namespace
}  // namespace net
