#pragma once
// Lua string patterns, compiled and matched with a step count. A pattern is compiled
// once into a flat list of instructions, one per pattern item; the matcher walks that
// list with an explicit stack of choice points, so its work can be counted and stopped.
//
// A malformed item compiles into a Fail instruction at its place: the error is raised
// only when a match attempt reaches that item, exactly as the standard library raises
// it, so a malformed tail after an item that never matches gives "no match".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv::patterns {

constexpr int kMaxCaptures = 32;
// Items that leave a way back (a repetition that consumed something, a capture bound)
// nest at most this deep on one attempt; deeper raises "pattern too complex".
constexpr int kMaxNesting = 199;

enum class PatternError : std::uint8_t {
  None,
  EndsWithPercent,
  MissingBracket,
  MissingBalanceArguments,
  MissingFrontierBracket,
  InvalidCaptureIndex,
  InvalidPatternCapture,
  TooManyCaptures,
  TooComplex,
};

// The standard library's message for `error`; `index` is the capture number it names.
std::string errorText(PatternError error, int index);

struct CharSet {
  std::uint64_t bits[4] = {0, 0, 0, 0};
  bool has(unsigned char c) const { return (bits[c >> 6] >> (c & 63)) & 1u; }
  void add(unsigned char c) { bits[c >> 6] |= std::uint64_t{1} << (c & 63); }
};

enum class Op : std::uint8_t { Single, Balance, Frontier, BackRef, Open, OpenPosition, Close, EndAnchor, Fail, Accept };
enum class Repeat : std::uint8_t { Once, Greedy, AtLeastOne, Lazy, Optional };

struct Instruction {
  Op op = Op::Accept;
  Repeat repeat = Repeat::Once;
  PatternError error = PatternError::None;  // for Fail
  std::uint8_t capture = 0;                 // Open, Close, BackRef; the index named by a Fail
  unsigned char open = 0, close = 0;        // Balance delimiters
  CharSet set;                              // Single, Frontier
};

// Instructions a pattern of `length` bytes compiles to at most.
constexpr std::size_t programCapacity(std::size_t length) { return length + 1; }
// Writes the program of `pattern` (without a leading anchor) into `out`, which holds
// programCapacity(pattern.size()) instructions. Returns the count written.
std::size_t compilePattern(std::string_view pattern, Instruction* out);

// Every `stepsPerCharge` steps the matcher calls `charge(context)`, which may throw to stop it.
struct StepMeter {
  void (*charge)(void* context) = nullptr;
  void* context = nullptr;
  int stepsPerCharge = 1;
  int untilCharge = 1;
  void spend(std::size_t steps);
};

constexpr std::ptrdiff_t kCaptureOpen = -1;
constexpr std::ptrdiff_t kCapturePosition = -2;
struct Capture {
  std::size_t start = 0;
  std::ptrdiff_t length = kCaptureOpen;  // or kCapturePosition
};

struct MatchOutcome {
  bool matched = false;
  std::size_t end = 0;  // one past the match
  PatternError error = PatternError::None;
  int errorIndex = 0;
  int captureCount = 0;
  Capture captures[kMaxCaptures];
};

// One attempt of `program` anchored at `start` in `subject`; fills `out` (its captures
// are meaningful only on a match).
void matchAt(const Instruction* program, std::string_view subject, std::size_t start, StepMeter& meter,
             MatchOutcome& out);

}  // namespace zorv::patterns
