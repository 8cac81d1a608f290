#include "in_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "driver/caldrose.h"
#include "platform/emulation/control.h"
#include "platform/sdk.h"

std::string OperatorOrganisationText() {
  std::ifstream file(std::string(CALDROSE_TEST_DATA) + "/operator.json");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string RunInProcess(const std::string& organisation, const char* answers, const std::vector<std::string>& args) {
  emulation::UseOrganisationText(organisation, "test organisation");
  FILE* input = fmemopen(const_cast<char*>(answers), strlen(answers), "r");
  emulation::UseDialogInput(input);
  std::vector<std::string> words = {"caldrose"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStdout();
  const int exitCode = RunCaldrose(static_cast<int>(words.size()), argv.data());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(exitCode, 0);
  emulation::UseDialogInput(nullptr);
  fclose(input);
  emulation::UseOrganisationText("", "");
  return out;
}

void StartEmulatedPlatform(const std::string& organisation) {
  emulation::UseOrganisationText(organisation, "test organisation");
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
}

void StopEmulatedPlatform() {
  MAPIUninitialize();
  emulation::UseOrganisationText("", "");
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{});
  emulation::ResetRun();
}
