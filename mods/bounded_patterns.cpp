// The matcher follows the standard library's pattern rules exactly (same classes, captures,
// anchors, %b, %f, back references, error messages); it only adds the step count.

#include "mods/bounded_patterns.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <cctype>
#include <cstddef>
#include <cstring>

namespace zorv {
namespace {

constexpr char kEscape = '%';
constexpr const char* kSpecials = "^$*+?.([%-";
constexpr int kMaxCaptures = 32;
constexpr int kMaxMatchDepth = 200;
constexpr std::ptrdiff_t kCaptureUnfinished = -1;
constexpr std::ptrdiff_t kCapturePosition = -2;

PatternCharge chargeBudget = nullptr;  // the same for every state; set on installation

int uchar(char c) { return static_cast<unsigned char>(c); }

struct MatchState {
  const char* srcInit;
  const char* srcEnd;
  const char* patternEnd;
  lua_State* L;
  int matchDepth;
  int level;
  int steps;
  struct {
    const char* init;
    std::ptrdiff_t length;
  } capture[kMaxCaptures];
};

void step(MatchState& ms) {
  if (++ms.steps < kPatternStepsPerCharge) return;
  ms.steps = 0;
  chargeBudget(ms.L);
}

const char* match(MatchState& ms, const char* s, const char* p);

int checkCapture(MatchState& ms, int l) {
  l -= '1';
  if (l < 0 || l >= ms.level || ms.capture[l].length == kCaptureUnfinished)
    return luaL_error(ms.L, "invalid capture index %%%d", l + 1);
  return l;
}

int captureToClose(MatchState& ms) {
  for (int level = ms.level - 1; level >= 0; --level)
    if (ms.capture[level].length == kCaptureUnfinished) return level;
  return luaL_error(ms.L, "invalid pattern capture");
}

const char* classEnd(MatchState& ms, const char* p) {
  switch (*p++) {
    case kEscape:
      if (p == ms.patternEnd) luaL_error(ms.L, "malformed pattern (ends with '%%')");
      return p + 1;
    case '[':
      if (*p == '^') p++;
      do {
        if (p == ms.patternEnd) luaL_error(ms.L, "malformed pattern (missing ']')");
        if (*(p++) == kEscape && p < ms.patternEnd) p++;
      } while (*p != ']');
      return p + 1;
    default:
      return p;
  }
}

bool matchClass(int c, int cl) {
  bool result = false;
  switch (std::tolower(cl)) {
    case 'a': result = std::isalpha(c); break;
    case 'c': result = std::iscntrl(c); break;
    case 'd': result = std::isdigit(c); break;
    case 'g': result = std::isgraph(c); break;
    case 'l': result = std::islower(c); break;
    case 'p': result = std::ispunct(c); break;
    case 's': result = std::isspace(c); break;
    case 'u': result = std::isupper(c); break;
    case 'w': result = std::isalnum(c); break;
    case 'x': result = std::isxdigit(c); break;
    case 'z': result = c == 0; break;  // kept by the library for old scripts
    default: return cl == c;
  }
  return std::isupper(cl) ? !result : result;
}

bool matchBracketClass(int c, const char* p, const char* classLast) {
  bool wanted = true;
  if (*(p + 1) == '^') {
    wanted = false;
    p++;
  }
  while (++p < classLast) {
    if (*p == kEscape) {
      p++;
      if (matchClass(c, uchar(*p))) return wanted;
    } else if (*(p + 1) == '-' && p + 2 < classLast) {
      p += 2;
      if (uchar(*(p - 2)) <= c && c <= uchar(*p)) return wanted;
    } else if (uchar(*p) == c) {
      return wanted;
    }
  }
  return !wanted;
}

bool singleMatch(const MatchState& ms, const char* s, const char* p, const char* ep) {
  if (s >= ms.srcEnd) return false;
  const int c = uchar(*s);
  switch (*p) {
    case '.': return true;
    case kEscape: return matchClass(c, uchar(*(p + 1)));
    case '[': return matchBracketClass(c, p, ep - 1);
    default: return uchar(*p) == c;
  }
}

const char* matchBalance(MatchState& ms, const char* s, const char* p) {
  if (p >= ms.patternEnd - 1) luaL_error(ms.L, "malformed pattern (missing arguments to '%%b')");
  if (s >= ms.srcEnd || *s != *p) return nullptr;
  const char open = *p, close = *(p + 1);
  int depth = 1;
  while (++s < ms.srcEnd) {
    step(ms);
    if (*s == close) {
      if (--depth == 0) return s + 1;
    } else if (*s == open) {
      depth++;
    }
  }
  return nullptr;
}

const char* maxExpand(MatchState& ms, const char* s, const char* p, const char* ep) {
  std::ptrdiff_t i = 0;
  while (singleMatch(ms, s + i, p, ep)) {
    step(ms);
    i++;
  }
  for (; i >= 0; --i)
    if (const char* result = match(ms, s + i, ep + 1)) return result;
  return nullptr;
}

const char* minExpand(MatchState& ms, const char* s, const char* p, const char* ep) {
  for (;;) {
    if (const char* result = match(ms, s, ep + 1)) return result;
    if (!singleMatch(ms, s, p, ep)) return nullptr;
    s++;
  }
}

const char* startCapture(MatchState& ms, const char* s, const char* p, std::ptrdiff_t what) {
  if (ms.level >= kMaxCaptures) luaL_error(ms.L, "too many captures");
  ms.capture[ms.level].init = s;
  ms.capture[ms.level].length = what;
  ms.level++;
  const char* result = match(ms, s, p);
  if (!result) ms.level--;
  return result;
}

const char* endCapture(MatchState& ms, const char* s, const char* p) {
  const int l = captureToClose(ms);
  ms.capture[l].length = s - ms.capture[l].init;
  const char* result = match(ms, s, p);
  if (!result) ms.capture[l].length = kCaptureUnfinished;
  return result;
}

const char* matchCapture(MatchState& ms, const char* s, int l) {
  l = checkCapture(ms, l);
  const auto length = static_cast<std::size_t>(ms.capture[l].length);
  if (static_cast<std::size_t>(ms.srcEnd - s) >= length && std::memcmp(ms.capture[l].init, s, length) == 0)
    return s + length;
  return nullptr;
}

// The pattern item at p applied at s: the end of the match, or null.
const char* match(MatchState& ms, const char* s, const char* p) {
  if (ms.matchDepth-- == 0) luaL_error(ms.L, "pattern too complex");
  for (;;) {
    step(ms);
    if (p == ms.patternEnd) break;
    if (*p == '(') {
      s = *(p + 1) == ')' ? startCapture(ms, s, p + 2, kCapturePosition)
                          : startCapture(ms, s, p + 1, kCaptureUnfinished);
      break;
    }
    if (*p == ')') {
      s = endCapture(ms, s, p + 1);
      break;
    }
    if (*p == '$' && p + 1 == ms.patternEnd) {
      s = s == ms.srcEnd ? s : nullptr;
      break;
    }
    if (*p == kEscape && *(p + 1) == 'b') {
      s = matchBalance(ms, s, p + 2);
      if (!s) break;
      p += 4;
      continue;
    }
    if (*p == kEscape && *(p + 1) == 'f') {
      p += 2;
      if (*p != '[') luaL_error(ms.L, "missing '[' after '%%f' in pattern");
      const char* ep = classEnd(ms, p);
      const char previous = s == ms.srcInit ? '\0' : *(s - 1);
      const char current = s < ms.srcEnd ? *s : '\0';
      if (!matchBracketClass(uchar(previous), p, ep - 1) && matchBracketClass(uchar(current), p, ep - 1)) {
        p = ep;
        continue;
      }
      s = nullptr;
      break;
    }
    if (*p == kEscape && std::isdigit(uchar(*(p + 1)))) {
      s = matchCapture(ms, s, uchar(*(p + 1)));
      if (!s) break;
      p += 2;
      continue;
    }
    const char* ep = classEnd(ms, p);
    if (!singleMatch(ms, s, p, ep)) {
      if (*ep == '*' || *ep == '?' || *ep == '-') {
        p = ep + 1;
        continue;
      }
      s = nullptr;
      break;
    }
    if (*ep == '?') {
      if (const char* result = match(ms, s + 1, ep + 1)) {
        s = result;
        break;
      }
      p = ep + 1;
      continue;
    }
    if (*ep == '+') {
      s = maxExpand(ms, s + 1, p, ep);
      break;
    }
    if (*ep == '*') {
      s = maxExpand(ms, s, p, ep);
      break;
    }
    if (*ep == '-') {
      s = minExpand(ms, s, p, ep);
      break;
    }
    s++;
    p = ep;
  }
  ms.matchDepth++;
  return s;
}

// Capture i as a string (its start in *capture), or kCapturePosition for a position capture.
std::ptrdiff_t oneCapture(MatchState& ms, int i, const char* s, const char* e, const char** capture) {
  if (i >= ms.level) {
    if (i != 0) luaL_error(ms.L, "invalid capture index %%%d", i + 1);
    *capture = s;
    return e - s;
  }
  const std::ptrdiff_t length = ms.capture[i].length;
  *capture = ms.capture[i].init;
  if (length == kCaptureUnfinished) luaL_error(ms.L, "unfinished capture");
  if (length == kCapturePosition) lua_pushinteger(ms.L, (ms.capture[i].init - ms.srcInit) + 1);
  return length;
}

void pushOneCapture(MatchState& ms, int i, const char* s, const char* e) {
  const char* capture = nullptr;
  const std::ptrdiff_t length = oneCapture(ms, i, s, e, &capture);
  if (length != kCapturePosition) lua_pushlstring(ms.L, capture, static_cast<std::size_t>(length));
}

int pushCaptures(MatchState& ms, const char* s, const char* e) {
  const int count = (ms.level == 0 && s) ? 1 : ms.level;
  luaL_checkstack(ms.L, count, "too many captures");
  for (int i = 0; i < count; i++) pushOneCapture(ms, i, s, e);
  return count;
}

void prepareState(MatchState& ms, lua_State* L, const char* s, std::size_t ls, const char* p, std::size_t lp) {
  ms.L = L;
  ms.matchDepth = kMaxMatchDepth;
  ms.srcInit = s;
  ms.srcEnd = s + ls;
  ms.patternEnd = p + lp;
  ms.steps = 0;
  ms.level = 0;
}

void resetState(MatchState& ms) {
  ms.level = 0;
  ms.matchDepth = kMaxMatchDepth;
}

bool hasSpecials(const char* p, std::size_t length) {
  std::size_t upto = 0;
  do {
    if (std::strpbrk(p + upto, kSpecials)) return true;
    upto += std::strlen(p + upto) + 1;  // a pattern may hold zeros: test every segment
  } while (upto <= length);
  return false;
}

// Plain substring search, charged by the bytes it compares.
const char* findPlain(MatchState& ms, const char* s, std::size_t ls, const char* p, std::size_t lp) {
  if (lp == 0) return s;
  if (lp > ls) return nullptr;
  const char* last = s + (ls - lp);
  for (const char* at = s; at <= last; ++at) {
    at = static_cast<const char*>(std::memchr(at, *p, static_cast<std::size_t>(last - at) + 1));
    if (!at) return nullptr;
    for (std::size_t charged = 0; charged < lp; charged += 64) step(ms);
    if (std::memcmp(at + 1, p + 1, lp - 1) == 0) return at;
  }
  return nullptr;
}

// Start position from a relative index (negative counts from the end), as the library does.
std::size_t startIndex(lua_Integer position, std::size_t length) {
  if (position > 0) return static_cast<std::size_t>(position);
  if (position == 0) return 1;
  if (position < -static_cast<lua_Integer>(length)) return 1;
  return length + static_cast<std::size_t>(position) + 1;
}

int findAux(lua_State* L, bool find) {
  std::size_t ls = 0, lp = 0;
  const char* s = luaL_checklstring(L, 1, &ls);
  const char* p = luaL_checklstring(L, 2, &lp);
  const std::size_t init = startIndex(luaL_optinteger(L, 3, 1), ls) - 1;
  if (init > ls) {
    luaL_pushfail(L);
    return 1;
  }
  MatchState ms;
  prepareState(ms, L, s, ls, p, lp);
  if (find && (lua_toboolean(L, 4) || !hasSpecials(p, lp))) {
    if (const char* found = findPlain(ms, s + init, ls - init, p, lp)) {
      lua_pushinteger(L, (found - s) + 1);
      lua_pushinteger(L, static_cast<lua_Integer>(static_cast<std::size_t>(found - s) + lp));
      return 2;
    }
    luaL_pushfail(L);
    return 1;
  }
  const char* start = s + init;
  const bool anchor = *p == '^';
  if (anchor) {
    p++;
    lp--;
    ms.patternEnd = p + lp;
  }
  do {
    resetState(ms);
    if (const char* end = match(ms, start, p)) {
      if (find) {
        lua_pushinteger(L, (start - s) + 1);
        lua_pushinteger(L, end - s);
        return pushCaptures(ms, nullptr, nullptr) + 2;
      }
      return pushCaptures(ms, start, end);
    }
  } while (start++ < ms.srcEnd && !anchor);
  luaL_pushfail(L);
  return 1;
}

int boundedFind(lua_State* L) { return findAux(L, true); }
int boundedMatch(lua_State* L) { return findAux(L, false); }

struct GmatchState {
  const char* src;
  const char* pattern;
  const char* lastMatch;
  MatchState ms;
};

int gmatchStep(lua_State* L) {
  auto* state = static_cast<GmatchState*>(lua_touserdata(L, lua_upvalueindex(3)));
  state->ms.L = L;
  for (const char* src = state->src; src <= state->ms.srcEnd; src++) {
    resetState(state->ms);
    const char* end = match(state->ms, src, state->pattern);
    if (end && end != state->lastMatch) {
      state->src = state->lastMatch = end;
      return pushCaptures(state->ms, src, end);
    }
  }
  return 0;
}

int boundedGmatch(lua_State* L) {
  std::size_t ls = 0, lp = 0;
  const char* s = luaL_checklstring(L, 1, &ls);
  const char* p = luaL_checklstring(L, 2, &lp);
  std::size_t init = startIndex(luaL_optinteger(L, 3, 1), ls) - 1;
  if (init > ls) init = ls + 1;  // start after the end: no match
  lua_settop(L, 2);
  auto* state = static_cast<GmatchState*>(lua_newuserdatauv(L, sizeof(GmatchState), 0));
  prepareState(state->ms, L, s, ls, p, lp);
  state->src = s + init;
  state->pattern = p;
  state->lastMatch = nullptr;
  lua_pushcclosure(L, gmatchStep, 3);  // the subject and pattern stay alive as upvalues
  return 1;
}

void addReplacementString(MatchState& ms, luaL_Buffer& buffer, const char* s, const char* e) {
  lua_State* L = ms.L;
  std::size_t length = 0;
  const char* text = lua_tolstring(L, 3, &length);
  const char* escape = nullptr;
  while ((escape = static_cast<const char*>(std::memchr(text, kEscape, length))) != nullptr) {
    luaL_addlstring(&buffer, text, static_cast<std::size_t>(escape - text));
    escape++;
    if (*escape == kEscape) {
      luaL_addchar(&buffer, *escape);
    } else if (*escape == '0') {
      luaL_addlstring(&buffer, s, static_cast<std::size_t>(e - s));
    } else if (std::isdigit(uchar(*escape))) {
      const char* capture = nullptr;
      const std::ptrdiff_t captureLength = oneCapture(ms, *escape - '1', s, e, &capture);
      if (captureLength == kCapturePosition)
        luaL_addvalue(&buffer);
      else
        luaL_addlstring(&buffer, capture, static_cast<std::size_t>(captureLength));
    } else {
      luaL_error(L, "invalid use of '%c' in replacement string", kEscape);
    }
    length -= static_cast<std::size_t>(escape + 1 - text);
    text = escape + 1;
  }
  luaL_addlstring(&buffer, text, length);
}

// Adds the replacement of one match; false when the match stays as it was.
bool addValue(MatchState& ms, luaL_Buffer& buffer, const char* s, const char* e, int replacementType) {
  lua_State* L = ms.L;
  if (replacementType == LUA_TFUNCTION) {
    lua_pushvalue(L, 3);
    const int count = pushCaptures(ms, s, e);
    lua_call(L, count, 1);
  } else if (replacementType == LUA_TTABLE) {
    pushOneCapture(ms, 0, s, e);
    lua_gettable(L, 3);
  } else {
    addReplacementString(ms, buffer, s, e);
    return true;
  }
  if (!lua_toboolean(L, -1)) {
    lua_pop(L, 1);
    luaL_addlstring(&buffer, s, static_cast<std::size_t>(e - s));
    return false;
  }
  if (!lua_isstring(L, -1)) luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
  luaL_addvalue(&buffer);
  return true;
}

int boundedGsub(lua_State* L) {
  std::size_t ls = 0, lp = 0;
  const char* src = luaL_checklstring(L, 1, &ls);
  const char* p = luaL_checklstring(L, 2, &lp);
  const char* lastMatch = nullptr;
  const int replacementType = lua_type(L, 3);
  const lua_Integer maxReplacements = luaL_optinteger(L, 4, static_cast<lua_Integer>(ls) + 1);
  luaL_argexpected(L,
                   replacementType == LUA_TNUMBER || replacementType == LUA_TSTRING ||
                       replacementType == LUA_TFUNCTION || replacementType == LUA_TTABLE,
                   3, "string/function/table");
  const bool anchor = *p == '^';
  if (anchor) {
    p++;
    lp--;
  }
  luaL_Buffer buffer;
  luaL_buffinit(L, &buffer);
  MatchState ms;
  prepareState(ms, L, src, ls, p, lp);
  lua_Integer replaced = 0;
  bool changed = false;
  while (replaced < maxReplacements) {
    resetState(ms);
    const char* end = match(ms, src, p);
    if (end && end != lastMatch) {
      replaced++;
      changed = addValue(ms, buffer, src, end, replacementType) || changed;
      src = lastMatch = end;
    } else if (src < ms.srcEnd) {
      luaL_addchar(&buffer, *src++);
    } else {
      break;
    }
    if (anchor) break;
  }
  if (!changed) {
    lua_pushvalue(L, 1);
  } else {
    luaL_addlstring(&buffer, src, static_cast<std::size_t>(ms.srcEnd - src));
    luaL_pushresult(&buffer);
  }
  lua_pushinteger(L, replaced);
  return 2;
}

}  // namespace

void installBoundedPatterns(lua_State* L, PatternCharge charge) {
  chargeBudget = charge;
  const luaL_Reg functions[] = {{"find", boundedFind},
                                {"match", boundedMatch},
                                {"gmatch", boundedGmatch},
                                {"gsub", boundedGsub},
                                {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace zorv
