// Cleaning of the typed player name.

#include "client/settings.h"

#include <cstring>

namespace zorv {

std::string effectivePlayerName(const Profile& profile) {
  constexpr std::size_t kMaxNameBytes = 20;
  std::string name;
  const std::size_t length = strnlen(profile.playerName.data(), profile.playerName.size());
  for (std::size_t i = 0; i < length && name.size() < kMaxNameBytes; ++i) {
    const auto byte = static_cast<unsigned char>(profile.playerName[i]);
    if (byte >= 32 && byte <= 126) name.push_back(static_cast<char>(byte));
  }
  const auto first = name.find_first_not_of(' ');
  if (first == std::string::npos) return kDefaultPlayerName;
  const auto last = name.find_last_not_of(' ');
  return name.substr(first, last - first + 1);
}

}  // namespace zorv
