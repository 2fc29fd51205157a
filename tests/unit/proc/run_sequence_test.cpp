// The run of one command as a whole: the library's export list, the output
// opened and closed once, errors leaving only the closing steps, and every
// workspace block released on every path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/core/session.h"
#include "tests/unit/support/test_host.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string commandOutput(const std::string& command) {
  std::array<char, 512> buffer{};
  std::string text;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return text;
  while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) text += buffer.data();
  return text;
}

TEST(Library, ExportsExactlyProx) {
  const std::string symbols = commandOutput(std::string("nm -D --defined-only ") +
                                            PROX_LIBRARY_PATH + " | awk '{print $3}'");
  EXPECT_EQ(symbols, "PROX\n");
}

class RunSequence : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing_host::run(
        "INLINE.\n"
        "x,y,z,g\n"
        "1,2,3,1\n"
        "4,6,8,1\n"
        "0,1,5,2\n"
        "2,,7,2\n"
        "END INLINE.\n");
  }
  static std::int64_t bytesInUse() { return engine::Session::current().workspace.bytesInUse(); }
};

TEST_F(RunSequence, ErrorInSubcommandsLeavesOnlyTheClosingSteps) {
  const std::int64_t before = bytesInUse();
  const std::string shown = testing_host::run("PROXIMITIES x y /FOO.\n");
  EXPECT_THAT(shown, HasSubstr("Invalid Subcommand FOO"));
  EXPECT_THAT(shown, Not(HasSubstr("Proximity Matrix")));
  EXPECT_THAT(shown, Not(HasSubstr("Missing Value Handling")));
  EXPECT_EQ(bytesInUse(), before);
}

TEST_F(RunSequence, EveryPathReleasesEveryBlock) {
  const std::int64_t before = bytesInUse();
  const char* commands[] = {
      "PROXIMITIES x y z.",
      "PROXIMITIES x y z /ID=nosuch.",
      "PROXIMITIES x y z /VIEW=VARIABLE /MEASURE=CORRELATION.",
      "PROXIMITIES x y z /VIEW=VARIABLE /STANDARDIZE=Z.",
      "PROXIMITIES x y z /MEASURE=JACCARD(1,0).",
      "PROXIMITIES x y z /MEASURE=CHISQ /STANDARDIZE=RANGE.",
      "GROUP BY g.\nPROXIMITIES x y z /VIEW=VARIABLE /STANDARDIZE=RANGE.\nGROUP OFF.",
      "GROUP BY g.\nPROXIMITIES x y z /STANDARDIZE=Z.\nGROUP OFF.",
  };
  for (const char* command : commands) {
    testing_host::run(std::string(command) + "\n");
    EXPECT_EQ(bytesInUse(), before) << command;
  }
  const auto folder = std::filesystem::temp_directory_path() / "prox-run-sequence-test";
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "matrix.csv").string();
  for (const std::string& command :
       {"PROXIMITIES x y z /MATRIX=OUT(\"" + file + "\").",
        "PROXIMITIES /MATRIX=IN(\"" + file + "\").",
        "PROXIMITIES x y /VIEW=VARIABLE /MATRIX=OUT(\"" + file + "\").",
        "PROXIMITIES /MATRIX=IN(\"" + file + "\") /VIEW=VARIABLE /MATRIX=OUT(\"" + file + "\")."}) {
    testing_host::run(command + "\n");
    EXPECT_EQ(bytesInUse(), before) << command;
  }
  std::filesystem::remove_all(folder);
}

TEST_F(RunSequence, OutputOpensUnderItsTitleAndComputes) {
  const std::string shown = testing_host::run("PROXIMITIES x y z.\n");
  EXPECT_THAT(shown, HasSubstr("Proximities"));
  EXPECT_THAT(shown, HasSubstr("Case Processing Summary"));
  EXPECT_THAT(shown, HasSubstr("Proximity Matrix"));
  EXPECT_THAT(shown, HasSubstr("This is a dissimilarity matrix"));
  EXPECT_THAT(shown, HasSubstr("Workspace Bytes"));
}

TEST_F(RunSequence, NoCaseAtAll) {
  testing_host::run("INLINE.\nx,y\nEND INLINE.\n");
  const std::string shown = testing_host::run("PROXIMITIES x y.\n");
  EXPECT_THAT(shown, HasSubstr("No case accepted"));
  EXPECT_THAT(shown, Not(HasSubstr("Proximity Matrix")));
  SetUpTestSuite();  // the other tests expect the four cases back
}

}  // namespace
