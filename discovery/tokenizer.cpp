// Quote-aware tokenizer of the command lines: "..." groups characters (separators included), a
// doubled quote inside stands for one quote character, and a token that does not fit the
// destination is cut while the rest of it is still skipped.
#include "discovery/tokenizer.h"

#include <cstring>

namespace {

bool IsSeparator(char c, const char* separators) { return c != '\0' && std::strchr(separators, c) != nullptr; }

}  // namespace

const char* NextToken(char* dst, size_t dstSize, const char* text, const char* separators) {
  size_t length = 0;
  auto put = [&](char c) {
    if (length + 1 < dstSize) dst[length++] = c;
  };
  const char* p = text;
  if (*p != '"') {
    while (*p != '\0' && !IsSeparator(*p, separators)) put(*p++);
  } else {
    ++p;
    for (;;) {
      if (*p == '\0') break;           // no closing quote: the rest of the text is the token
      if (*p == '"') {
        if (p[1] == '"') {             // doubled quote: one quote character, collecting goes on
          put('"');
          p += 2;
          continue;
        }
        ++p;                           // the closing quote ends the token
        break;
      }
      put(*p++);
    }
  }
  if (dstSize > 0) dst[length] = '\0';
  // Characters right behind a closing quote are the start of the next token.
  while (IsSeparator(*p, separators)) ++p;
  return p;
}
