#include "lang/localisation.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zorv {
namespace {

int currentLanguage = LanguageEnglish;
const std::vector<Translation>* activeTable = nullptr;  // null: the built-in table

// The Chinese text of `text` while the language is Chinese and the table has the key;
// null otherwise. Keys compare byte for byte; the first equal key wins.
const char* activeTranslation(std::string_view text) {
  if (currentLanguage != LanguageChinese) return nullptr;
  for (const Translation& row : activeTable != nullptr ? *activeTable : translationTable()) {
    if (text == row.english) return row.chinese;
  }
  return nullptr;
}

bool isFlag(char c) { return c == ' ' || c == '#' || c == '+' || c == '-' || c == '0'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

char conversionClass(char conversion) {
  switch (conversion) {
    case 'a': case 'A': case 'e': case 'E': case 'f': case 'F': case 'g': case 'G':
      return 'f';
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
      return 'i';
    default:
      return conversion;
  }
}

// Moves `position` from just after a '%' past the flags, width, precision and length
// modifier, onto the conversion character (or the end of the format).
void skipToConversion(std::string_view format, std::size_t& position) {
  auto current = [&] { return position < format.size() ? format[position] : '\0'; };
  while (isFlag(current())) ++position;
  while (isDigit(current())) ++position;
  if (current() == '.') {
    ++position;
    while (isDigit(current())) ++position;
  }
  char modifier = current();
  if (modifier == 'h' || modifier == 'l') {
    ++position;
    if (current() == modifier) ++position;  // "hh", "ll"
  } else if (modifier == 'L' || modifier == 'j' || modifier == 't' || modifier == 'z') {
    ++position;
  }
}

// Length of `text` without a multi-byte UTF-8 sequence that was cut short at its end, so
// a truncated result never ends in half a character. Stray bytes are left alone.
std::size_t completeUtf8Prefix(const char* text, std::size_t length) {
  std::size_t lead = length;
  for (int back = 0; back < 4 && lead > 0; ++back) {
    const auto byte = static_cast<unsigned char>(text[--lead]);
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte: keep looking for its lead
    const std::size_t needed = (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : (byte & 0xF8) == 0xF0 ? 4 : 1;
    return length - lead < needed ? lead : length;
  }
  return length;
}

}  // namespace

int language() { return currentLanguage; }

void setLanguage(int newLanguage) { currentLanguage = newLanguage; }

void setTranslationTable(const std::vector<Translation>* table) { activeTable = table; }

const char* tr(const char* text) {
  if (text == nullptr) return nullptr;
  const char* chinese = activeTranslation(text);
  return chinese != nullptr ? chinese : text;
}

std::string trString(const std::string& text) {
  const char* chinese = activeTranslation(text);
  return chinese != nullptr ? std::string(chinese) : text;
}

const char* trFormat(const char* format) {
  if (format == nullptr) return nullptr;
  const char* chinese = activeTranslation(format);
  return translationMatches(format, chinese) ? chinese : format;
}

std::string formatSignature(std::string_view format) {
  std::string signature;
  std::size_t position = 0;
  while (position < format.size()) {
    if (format[position++] != '%') continue;
    if (position < format.size() && format[position] == '%') {
      ++position;  // "%%" is a literal percent sign
      continue;
    }
    skipToConversion(format, position);
    if (position >= format.size()) break;
    signature += conversionClass(format[position++]);
  }
  return signature;
}

bool translationMatches(const char* english, const char* chinese) {
  if (english == nullptr || chinese == nullptr || *chinese == '\0') return false;
  return formatSignature(english) == formatSignature(chinese);
}

std::vector<std::string> mismatchedTranslations() {
  std::vector<std::string> keys;
  for (const Translation& row : activeTable != nullptr ? *activeTable : translationTable()) {
    if (!translationMatches(row.english, row.chinese)) keys.emplace_back(row.english);
  }
  return keys;
}

std::string formatTranslated(const char* format, ...) {
  if (format == nullptr) return {};
  char buffer[512];
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(buffer, sizeof buffer, trFormat(format), arguments);
  va_end(arguments);
  if (written < 0) return {};
  if (static_cast<std::size_t>(written) < sizeof buffer) return std::string(buffer);
  // Too long for the buffer: keep what fits, ending on a whole character.
  return std::string(buffer, completeUtf8Prefix(buffer, std::strlen(buffer)));
}

}  // namespace zorv
