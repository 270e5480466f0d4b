#include "net/routing_table.h"

#include <gtest/gtest.h>

namespace net {
namespace {

struct Owner {
  int id;
};

class RoutingTableTest : public ::testing::Test {
 protected:
  Owner a_{1}, b_{2}, c_{3};
  RoutingTable<Owner> table_;
};

TEST_F(RoutingTableTest, AddingTheSameHandleTwiceKeepsTheFirstOwner) {
  table_.Add(7, &a_);
  table_.Add(7, &b_);
  EXPECT_EQ(table_.Find(7), &a_);
  table_.Remove(7);
  EXPECT_EQ(table_.Find(7), nullptr) << "no second entry hides behind the first";
}

TEST_F(RoutingTableTest, RemovedHandlesAreForgottenAndOthersKeepTheirOwners) {
  table_.Add(7, &a_);
  table_.Add(8, &b_);
  table_.Remove(7);
  table_.Remove(99);  // unknown: ignored
  EXPECT_EQ(table_.Find(7), nullptr);
  EXPECT_EQ(table_.Find(8), &b_);
  table_.Add(9, &c_);
  table_.Add(10, &a_);
  EXPECT_EQ(table_.Find(8), &b_);
  EXPECT_EQ(table_.Find(9), &c_);
  EXPECT_EQ(table_.Find(10), &a_);
}

TEST_F(RoutingTableTest, HandleAddedAgainAfterItsRemovalTakesTheNewOwner) {
  table_.Add(1, &a_);
  table_.Add(2, &b_);
  table_.Remove(1);
  table_.Add(2, &c_);  // the freed slot comes first: the new owner wins there
  EXPECT_EQ(table_.Find(2), &c_);
  table_.Remove(2);
  EXPECT_EQ(table_.Find(2), nullptr) << "removing a handle clears every slot holding it";
}

TEST_F(RoutingTableTest, ReassignReplacesTheOwnerAndResetEmptiesTheTable) {
  table_.Add(5, &a_);
  table_.Reassign(5, &b_);
  EXPECT_EQ(table_.Find(5), &b_);
  table_.Reassign(6, &c_);
  EXPECT_EQ(table_.Find(6), nullptr);
  table_.Reset();
  EXPECT_EQ(table_.Find(5), nullptr);
}

TEST_F(RoutingTableTest, FreeMarkerIsNeverFound) {
  table_.Add(5, &a_);
  table_.Remove(5);
  EXPECT_EQ(table_.Find(-1), nullptr);
}

}  // namespace
}  // namespace net
