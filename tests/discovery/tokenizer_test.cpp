// NextToken: plain and quoted tokens, doubled quotes, attached tokens, and the destination bound.
#include "discovery/tokenizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// All tokens of a line, as the command-line parsers take them.
std::vector<std::string> Tokens(const char* line, size_t dstSize = kTokenSize) {
  std::vector<std::string> tokens;
  std::vector<char> dst(dstSize + 1, '#');
  const char* p = line;
  while (*p != '\0') {
    const char* next = NextToken(dst.data(), dstSize, p, " \t");
    EXPECT_GT(next, p) << "no progress at: " << p;
    if (next <= p) break;
    EXPECT_EQ(dst[dstSize], '#') << "written past the destination";
    tokens.emplace_back(dst.data());
    p = next;
  }
  return tokens;
}

using V = std::vector<std::string>;

TEST(Tokenizer, PlainTokensAndSeparatorRuns) {
  EXPECT_EQ(Tokens("-a Name  -d\t\tC:\\x"), (V{"-a", "Name", "-d", "C:\\x"}));
  EXPECT_EQ(Tokens("one   "), (V{"one"}));
  EXPECT_EQ(Tokens("a\"b c\"d"), (V{"a\"b", "c\"d"}));  // quotes inside are ordinary characters
  char dst[8];
  const char* end = NextToken(dst, sizeof dst, "", " ");
  EXPECT_STREQ(dst, "");
  EXPECT_STREQ(end, "");
}

TEST(Tokenizer, QuotedTokens) {
  EXPECT_EQ(Tokens("\"C:\\Program Files\\Zarpex\\a b.zpk\" -d x"),
            (V{"C:\\Program Files\\Zarpex\\a b.zpk", "-d", "x"}));
  EXPECT_EQ(Tokens("\"say \"\"hi\"\" now\""), (V{"say \"hi\" now"}));
  EXPECT_EQ(Tokens("\"\"\"\""), (V{"\""}));
  EXPECT_EQ(Tokens("\"\" next"), (V{"", "next"}));
  // A token directly behind the closing quote starts the next one.
  EXPECT_EQ(Tokens("\"abc\"def ghi"), (V{"abc", "def", "ghi"}));
  EXPECT_EQ(Tokens("-a\"Name\""), (V{"-a\"Name\""}));
  // A missing closing quote makes the rest the token; a lone quote at the end is an empty token.
  EXPECT_EQ(Tokens("x \"rest of  line"), (V{"x", "rest of  line"}));
  char dst[8] = "zzz";
  const char* text = "\"";
  const char* end = NextToken(dst, sizeof dst, text, " ");
  EXPECT_STREQ(dst, "");
  EXPECT_EQ(end, text + 1);
}

TEST(Tokenizer, LongTokensAreCutAndTheRestSkipped) {
  std::string t511(511, 'a'), t512(512, 'b'), t600(600, 'c');
  EXPECT_EQ(Tokens((t511 + " next").c_str()), (V{t511, "next"}));
  EXPECT_EQ(Tokens((t512 + " next").c_str()), (V{std::string(511, 'b'), "next"}));
  EXPECT_EQ(Tokens(("\"" + t600 + " q\" next").c_str()), (V{std::string(511, 'c'), "next"}));
  // Doubled quotes in the cut-off part are still read as pairs, so the token ends in the right place.
  std::string quoted = "\"" + std::string(10, 'x') + "\"\"\"\"y\" after";
  EXPECT_EQ(Tokens(quoted.c_str(), 12), (V{std::string(10, 'x') + "\"", "after"}));
  EXPECT_EQ(Tokens("abc def", 1), (V{"", ""}));
}

}  // namespace
