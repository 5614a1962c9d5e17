#pragma once
// Small text helpers shared by every layer.
#include <string>
#include <string_view>

namespace zorv {

// ASCII letters lowered; every other byte (UTF-8 included) kept as it is.
inline std::string lowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

}  // namespace zorv
