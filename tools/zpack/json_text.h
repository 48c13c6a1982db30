#pragma once
// JSON output of zpack's verbs: string values (UTF-8 in, escaped as JSON needs).
#include <string>

namespace zpack {

// "text" with quotes, backslashes and control characters escaped.
std::string JsonString(const std::string& utf8);

}  // namespace zpack
