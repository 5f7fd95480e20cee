#include "core/object_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Thing {
  int handle = 0;
  int payload = 0;
};

ObjectTable<Thing>* table = nullptr;
std::vector<int> released;

void ReleaseThing(int number) {
  released.push_back(number);
  table->Release(number);
}

class ObjectTableTest : public ::testing::Test {
 protected:
  ObjectTableTest() : things(50, 50, ReleaseThing) {
    table = &things;
    released.clear();
  }
  ~ObjectTableTest() override { table = nullptr; }

  int Make(int number, int payload) {
    int assigned = 0;
    if (Thing* t = things.Take(number, &assigned)) *t = {1, payload};
    return assigned;
  }

  ObjectTable<Thing> things;
};

TEST_F(ObjectTableTest, NumberPastCapacityGrowsByTheStepAndUsesOnlyThatSlot) {
  ASSERT_EQ(things.Capacity(), 50);
  EXPECT_EQ(Make(120, 7), 120);
  EXPECT_EQ(things.Capacity(), 170);
  EXPECT_EQ(things.Find(120)->payload, 7);
  EXPECT_EQ(things.Numbers(), std::vector<int>{120});
  EXPECT_EQ(things.Find(1 << 30), nullptr);
}

TEST_F(ObjectTableTest, ReusingANumberRunsTheHookFirstAndHandsOutAZeroedRecord) {
  Make(3, 11);
  EXPECT_TRUE(released.empty()) << "a free number runs no hook";
  int assigned = 0;
  Thing* again = things.Take(3, &assigned);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(released, std::vector<int>{3});
  EXPECT_EQ(again->payload, 0);
}

TEST_F(ObjectTableTest, AutoNumbersAreFoundLaterAndNeverMeetSlotNumbers) {
  const int a = Make(AutoNumber, 5);
  const int b = Make(AutoNumber, 6);
  EXPECT_TRUE(a < AutoNumber && b < AutoNumber && a != b);
  EXPECT_EQ(things.Find(b)->payload, 6);
  things.Release(a);
  EXPECT_EQ(things.Find(a), nullptr);
  EXPECT_EQ(things.Find(b)->payload, 6);
}

TEST_F(ObjectTableTest, IterationVisitsLiveSlotsAscendingThenAutoNumbers) {
  Make(3, 0);
  const int automatic = Make(AutoNumber, 0);
  Make(0, 0);
  Make(2, 0);
  things.Release(2);
  EXPECT_EQ(things.Numbers(), (std::vector<int>{0, 3, automatic}));
  EXPECT_EQ(things.Find(AutoNumber), nullptr);
  int assigned = 0;
  EXPECT_EQ(things.Take(-5, &assigned), nullptr);
}

}  // namespace
