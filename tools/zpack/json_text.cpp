#include "tools/zpack/json_text.h"

#include <cstdio>

namespace zpack {

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", b);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace zpack
