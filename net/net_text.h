#pragma once
// User-visible texts of the networking layer. They are written in English; the program
// installs its translation lookup once at start-up, so this library needs no table.

#include <string>

namespace zorv {

// Returns the text to show for an English text or printf format (the same pointer when
// there is no translation). A translated format must carry the English one's conversions.
using NetTranslator = const char* (*)(const char* english);

void setNetTranslator(NetTranslator translator);
// The translation of `english` (the text itself when no translator is installed).
std::string netText(const char* english);
// printf-style formatting of the translated format.
std::string netFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zorv
