// The administrator answer and its test seam.
#include <windows.h>

#include <gtest/gtest.h>

#include "Administrator.h"

namespace {

class AdministratorTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetAdministratorAnswerForTesting(-1);
    SetEnvironmentVariableA("VELMOR_TEST_ADMINISTRATOR", nullptr);
  }
};

TEST_F(AdministratorTest, SeamChoosesTheAnswer) {
  SetAdministratorAnswerForTesting(0);
  EXPECT_FALSE(IsAdministrator());
  SetAdministratorAnswerForTesting(1);
  EXPECT_TRUE(IsAdministrator());
}

TEST_F(AdministratorTest, EnvironmentChoosesWhenTheSeamIsUnset) {
  SetEnvironmentVariableA("VELMOR_TEST_ADMINISTRATOR", "0");
  EXPECT_FALSE(IsAdministrator());
  SetEnvironmentVariableA("VELMOR_TEST_ADMINISTRATOR", "1");
  EXPECT_TRUE(IsAdministrator());
  SetAdministratorAnswerForTesting(0);
  EXPECT_FALSE(IsAdministrator()) << "the seam wins over the environment";
}

TEST_F(AdministratorTest, WithoutSeamTheSystemAnswers) {
  // Wine answers every membership test with yes.
  EXPECT_TRUE(IsAdministrator());
  SetEnvironmentVariableA("VELMOR_TEST_ADMINISTRATOR", "maybe");
  EXPECT_TRUE(IsAdministrator()) << "an unknown setting is ignored";
}

}  // namespace
