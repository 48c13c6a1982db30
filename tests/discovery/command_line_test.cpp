// Both command lines: the mode decision, the interactive options and the setup-call options.
#include "discovery/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "discovery/job_settings.h"
#include "discovery/setup_call.h"

namespace {

JobSettings& S() { return g_jobSettings; }

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override { std::memset(&g_jobSettings, 0, sizeof g_jobSettings); }
};

TEST_F(CommandLine, SetupCallOnlyAtTheVeryFirstCharacter) {
  auto options = [](const char* line) -> std::string {
    const char* text = SetupCallOptionsText(line);
    return text == nullptr ? "<interactive>" : std::string("[") + text + "]";
  };
  EXPECT_EQ(options("@@SETUP_CALL -H12 -I3"), "[-H12 -I3]");
  EXPECT_EQ(options("@@SETUP_CALL    -Qa.zpk "), "[-Qa.zpk ]");
  EXPECT_EQ(options("@@SETUP_CALLED_BY_X -Z t"), "[-Z t]");  // the rest of the word, whatever it is
  EXPECT_EQ(options("@@SETUP_CALL"), "[]");
  EXPECT_EQ(options("@@SETUP_CALL\t-H12"), "[]");  // tabs are not blanks here: no options at all
  EXPECT_EQ(options("@@SETUP_CALL\t-H1 -Q x"), "[-Q x]");
  EXPECT_EQ(options(" @@SETUP_CALL -H12"), "<interactive>");
  EXPECT_EQ(options("x.zpk @@SETUP_CALL"), "<interactive>");
  EXPECT_EQ(options("@@setup_call -H12"), "<interactive>");
  EXPECT_EQ(options("@@SETUP_CAL"), "<interactive>");
  EXPECT_EQ(options(""), "<interactive>");
}

TEST_F(CommandLine, InteractiveOptionsAndSource) {
  ParseInteractiveCommandLine("  -a \"Mein Archiv\"\t/d C:\\zelvar\\archive\\neu first.zpk second.zpk");
  EXPECT_STREQ(S().archiveName, "Mein Archiv");
  EXPECT_STREQ(S().targetDir, "C:\\zelvar\\archive\\neu");
  EXPECT_EQ(S().targetGiven, 1);
  EXPECT_STREQ(S().sourcePath, "first.zpk");
}

TEST_F(CommandLine, InteractiveLettersAreCaseSensitiveAndValuesSeparate) {
  // -D and -A are unknown: their values are consumed. An attached value is not one: the letter
  // counts, the rest of the token is ignored, and the next token is the value.
  ParseInteractiveCommandLine("-D C:\\upper -A Upper -dC:\\ignored C:\\target - swallowed src.zpk -a");
  EXPECT_STREQ(S().targetDir, "C:\\target");
  EXPECT_STREQ(S().archiveName, "");
  EXPECT_STREQ(S().sourcePath, "src.zpk");

  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  ParseInteractiveCommandLine("-d");  // option at the end without value
  EXPECT_EQ(S().targetGiven, 0);
  ParseInteractiveCommandLine("-d \"\" x.zpk");  // an empty value drops the option; x.zpk is its own token
  EXPECT_EQ(S().targetGiven, 0);
  EXPECT_STREQ(S().sourcePath, "x.zpk");
}

TEST_F(CommandLine, InteractiveQuotingAndLimits) {
  ParseInteractiveCommandLine("\"C:\\Program Files\\a \"\"b\"\".zpk\"-d \"C:\\x y\"");
  EXPECT_STREQ(S().sourcePath, "C:\\Program Files\\a \"b\".zpk");
  EXPECT_STREQ(S().targetDir, "C:\\x y");  // -d right behind the closing quote is the next token

  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  std::string longPath = "C:\\" + std::string(700, 'p');  // longer than the 511-character token buffer
  std::string longName(120, 'n');
  ParseInteractiveCommandLine((longPath + " -a " + longName + " -d " + longPath).c_str());
  EXPECT_EQ(std::string(S().sourcePath), longPath.substr(0, kPathChars));
  EXPECT_EQ(std::string(S().archiveName), longName.substr(0, kNameChars));
  EXPECT_EQ(std::string(S().targetDir), longPath.substr(0, kPathChars));
  EXPECT_EQ(S().targetGiven, 1);
}

TEST_F(CommandLine, SetupCallOptionFormsAndCase) {
  for (const char* text : {"-H4711", "-H 4711", "-h4711", "/h  4711"}) {
    std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
    ParseSetupCallOptions(text);
    EXPECT_EQ(reinterpret_cast<intptr_t>(S().parentWindow), 4711) << text;
  }
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  ParseSetupCallOptions("-I1234 -P \\\\SRV\\SYS\\zelvar -q C:\\a.zpk -SSRV -V SYS -Z \"C:\\zelvar\\archive\\mit blank\" "
                        "-X unknown -Q C:\\b.zpk");
  EXPECT_EQ(S().parentControlId, 1234);
  EXPECT_STREQ(S().installRoot, "\\\\SRV\\SYS\\zelvar");
  EXPECT_STREQ(S().sourcePath, "C:\\b.zpk");  // a later -Q overwrites
  EXPECT_STREQ(S().targetDir, "C:\\zelvar\\archive\\mit blank");
  EXPECT_EQ(S().targetGiven, 1);
}

TEST_F(CommandLine, SetupCallAttachedValueKeepsItsQuote) {
  ParseSetupCallOptions("-Z\"C:\\mit blank\" -Q x.zpk");
  EXPECT_STREQ(S().targetDir, "\"C:\\mit");
  EXPECT_STREQ(S().sourcePath, "x.zpk");  // blank" is a token of its own and skipped
}

TEST_F(CommandLine, SetupCallValuesAreConsumedEvenWhenTheyLookLikeOptions) {
  ParseSetupCallOptions("-S -Qswallowed -V");
  EXPECT_STREQ(S().sourcePath, "");
  ParseSetupCallOptions("- -Qswallowed too.zpk");  // a lone "-" takes the next token as its value
  EXPECT_STREQ(S().sourcePath, "");
  ParseSetupCallOptions("-Q");  // at the end without value
  EXPECT_STREQ(S().sourcePath, "");
}

TEST_F(CommandLine, SetupCallCallsOverwriteOnlyTheNamedFields) {
  ParseSetupCallOptions("-H10 -I20 -Q a.zpk -Z C:\\t");
  ParseSetupCallOptions("-Z C:\\from_control junk");
  EXPECT_EQ(reinterpret_cast<intptr_t>(S().parentWindow), 10);
  EXPECT_EQ(S().parentControlId, 20);
  EXPECT_STREQ(S().sourcePath, "a.zpk");
  EXPECT_STREQ(S().targetDir, "C:\\from_control");
}

TEST_F(CommandLine, SetupCallValuesAreBoundedByTheirFields) {
  std::string longPath = "C:\\" + std::string(600, 'z');
  ParseSetupCallOptions(("-Q" + longPath + " -Z " + longPath + " -P " + longPath + " -H99999999999999999999").c_str());
  EXPECT_EQ(std::string(S().sourcePath), longPath.substr(0, kPathChars));
  EXPECT_EQ(std::string(S().targetDir), longPath.substr(0, kPathChars));
  EXPECT_EQ(std::string(S().installRoot), longPath.substr(0, kPathChars));
}

}  // namespace
