#include "net/net_text.h"

#include <cstdarg>
#include <cstdio>

namespace zorv {
namespace {

NetTranslator currentTranslator = nullptr;

const char* translate(const char* english) {
  const char* translated = currentTranslator != nullptr ? currentTranslator(english) : nullptr;
  return translated != nullptr ? translated : english;
}

}  // namespace

void setNetTranslator(NetTranslator translator) { currentTranslator = translator; }

std::string netText(const char* english) { return translate(english); }

std::string netFormat(const char* format, ...) {
  char buffer[512];
  std::va_list args;
  va_start(args, format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int written = std::vsnprintf(buffer, sizeof buffer, translate(format), args);
#pragma GCC diagnostic pop
  va_end(args);
  return written < 0 ? std::string() : std::string(buffer);
}

}  // namespace zorv
