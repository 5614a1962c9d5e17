#include "checks/self_test.h"

#include <gtest/gtest.h>

#include <string>

namespace zorv {
namespace {

std::string contentsOf(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, file) != nullptr) text += buffer;
  return text;
}

TEST(SelfTestHarness, AFailedCheckIsPrintedAndMakesTheRunFail) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  CheckReport report;
  report.out = out;
  report.check(true, "passing check");
  EXPECT_EQ(report.failures, 0);
  EXPECT_EQ(finishSelfTest(report, {3, 24, 36}), 0);

  report.check(false, "forced failure");
  report.check(false, "second failure");
  EXPECT_EQ(report.failures, 2);
  EXPECT_EQ(finishSelfTest(report, {3, 24, 36}), 1);

  EXPECT_EQ(contentsOf(out),
            "selftest: chunks=3 vertices=24 indices=36 failures=0\n"
            "FAIL: forced failure\n"
            "FAIL: second failure\n"
            "selftest: chunks=3 vertices=24 indices=36 failures=2\n");
  std::fclose(out);
}

}  // namespace
}  // namespace zorv
