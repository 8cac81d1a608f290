// The directory gateway's connection, driven in-process on the emulated
// platform.
#include "directory/ad_wrapper.h"

#include <gtest/gtest.h>

#include <memory>

#include "in_process.h"
#include "platform/emulation/control.h"

namespace {

class AdWrapper : public testing::Test {
 protected:
  void Start(const char* organisation) { StartEmulatedPlatform(organisation); }
  void TearDown() override { StopEmulatedPlatform(); }
};

TEST_F(AdWrapper, ClosingWithoutAConnectionDoesNothing) {
  Start("{}");
  testing::internal::CaptureStdout();
  {
    IADWrapper never(nullptr);
    never.Close();
    IADWrapper opened("dc01");
    EXPECT_EQ(opened.Open(), S_OK);
    EXPECT_TRUE(opened.HasConnection());
    opened.Close();
    EXPECT_FALSE(opened.HasConnection());
    opened.Close();
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(AdWrapper, AFailedCreationLeavesNoConnection) {
  Start(R"({"faults": [{"operation": "OleRun", "status": "0x80004005"}]})");
  IADWrapper directory(nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(directory.Open(), E_FAIL);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to create AD connection object ffffffff80004005\n");
  EXPECT_FALSE(directory.HasConnection());
}

TEST(AdWrapperWithoutCom, CannotCreateItsConnection) {
  // COM is set up by MAPI's initialisation; before it nothing is created.
  testing::internal::CaptureStdout();
  {
    IADWrapper directory(nullptr);
    EXPECT_EQ(directory.Open(), CO_E_NOTINITIALIZED);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to create AD connection object ffffffff800401f0\n");
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  emulation::ResetRun();
}

}  // namespace
