#include "tasks/TaskRunLock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "TempDir.h"

namespace zw::tasks {
namespace {

TEST(TaskRunLock, OneHolderPerTaskOthersToldWhoAndFileKept) {
  zw::test::TempDir dir;
  EXPECT_FALSE(TaskRunLock::IsHeld(dir.path(), 2));
  {
    TaskRunLock run;
    ASSERT_EQ(run.Acquire(dir.path(), 2), "");
    EXPECT_EQ(run.Acquire(dir.path(), 2), "");  // already held by this object
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "T0000002.LCK"));
    EXPECT_TRUE(TaskRunLock::IsHeld(dir.path(), 2));
    EXPECT_FALSE(TaskRunLock::IsHeld(dir.path(), 3));
    // A probe does not disturb the holder, and the holder does not block another task.
    EXPECT_TRUE(TaskRunLock::IsHeld(dir.path(), 2));
    TaskRunLock other, third;
    EXPECT_EQ(other.Acquire(dir.path(), 2),
              "Task 2 is being run by another command (pid " + std::to_string(::getpid()) +
                  "); wait for it to end or cancel it.");
    EXPECT_FALSE(other.Held());
    EXPECT_EQ(third.Acquire(dir.path(), 3), "");
  }  // the destructors release
  EXPECT_FALSE(TaskRunLock::IsHeld(dir.path(), 2));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "T0000002.LCK"));
  TaskRunLock again;
  EXPECT_EQ(again.Acquire(dir.path(), 2), "");
  again.Release();
  EXPECT_FALSE(TaskRunLock::IsHeld(dir.path(), 2));
  EXPECT_NE(again.Acquire(dir.path() / "missing", 2), "");
}

}  // namespace
}  // namespace zw::tasks
