#pragma once
// Every user-visible text is written in English at its call site and looked up here
// before it is shown; a built-in table supplies the Simplified Chinese texts.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

enum Language : int { LanguageEnglish = 0, LanguageChinese = 1 };

struct Translation {
  const char* english;
  const char* chinese;
};

int language();
void setLanguage(int language);

// The built-in table, in its fixed order.
const std::vector<Translation>& translationTable();
// Makes lookups use `table` instead of the built-in one (null restores it); `table` must
// outlive its use. Lets tests give the lookups translations the built-in table lacks.
void setTranslationTable(const std::vector<Translation>* table);

// The Chinese text of `text` while the language is Chinese and the table has it;
// otherwise `text` itself (null stays null).
const char* tr(const char* text);
std::string trString(const std::string& text);
// Like tr, but a translation is used only when its printf placeholders match the key's.
const char* trFormat(const char* format);
// The classes of a format's conversions in order: "f" floating, "i" integer, others as is.
std::string formatSignature(std::string_view format);
// Whether `chinese` may stand in for the format `english`: present, not empty, and with
// the same placeholder signature.
bool translationMatches(const char* english, const char* chinese);
// Keys whose Chinese text is missing or whose placeholders differ from the key's.
std::vector<std::string> mismatchedTranslations();

// trFormat(format), then printf-style formatting into a 512-byte buffer. A longer result
// is cut to what fits, at the end of the last whole UTF-8 character.
std::string formatTranslated(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zorv
