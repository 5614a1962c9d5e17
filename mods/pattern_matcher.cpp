#include "mods/pattern_matcher.h"

#include <cctype>
#include <cstring>

namespace zorv::patterns {
namespace {

// --- character classes -------------------------------------------------------------

// %a, %d, ... and their upper-case complements; any other character stands for itself.
bool inClass(unsigned char c, unsigned char letter) {
  bool member = false;
  switch (std::tolower(letter)) {
    case 'a': member = std::isalpha(c); break;
    case 'c': member = std::iscntrl(c); break;
    case 'd': member = std::isdigit(c); break;
    case 'g': member = std::isgraph(c); break;
    case 'l': member = std::islower(c); break;
    case 'p': member = std::ispunct(c); break;
    case 's': member = std::isspace(c); break;
    case 'u': member = std::isupper(c); break;
    case 'w': member = std::isalnum(c); break;
    case 'x': member = std::isxdigit(c); break;
    case 'z': member = c == 0; break;  // the old spelling of "\0"
    default: return letter == c;
  }
  return std::isupper(letter) ? !member : member;
}

void addClass(CharSet& set, unsigned char letter) {
  for (int c = 0; c < 256; ++c)
    if (inClass(static_cast<unsigned char>(c), letter)) set.add(static_cast<unsigned char>(c));
}

void addRange(CharSet& set, unsigned char low, unsigned char high) {
  for (int c = low; c <= high; ++c) set.add(static_cast<unsigned char>(c));
}

void invert(CharSet& set) {
  for (std::uint64_t& word : set.bits) word = ~word;
}

// --- the compiler ------------------------------------------------------------------

class Compiler {
 public:
  Compiler(std::string_view pattern, Instruction* out) : p_(pattern), out_(out) {}

  std::size_t run() {
    while (at_ < p_.size() && compileItem()) {
    }
    if (at_ >= p_.size()) emit(Op::Accept);
    return count_;
  }

 private:
  Instruction& emit(Op op) {
    Instruction& in = out_[count_++];
    in = Instruction{};
    in.op = op;
    return in;
  }

  bool fail(PatternError error, int index = 0) {
    Instruction& in = emit(Op::Fail);
    in.error = error;
    in.capture = static_cast<std::uint8_t>(index);
    return false;
  }

  char peek(std::size_t offset) const { return at_ + offset < p_.size() ? p_[at_ + offset] : '\0'; }
  bool hasAt(std::size_t offset) const { return at_ + offset < p_.size(); }

  // Compiles the item at at_; false once a Fail was emitted (nothing after it runs).
  bool compileItem() {
    const char c = p_[at_];
    if (c == '(') return compileOpen();
    if (c == ')') return compileClose();
    if (c == '$' && at_ + 1 == p_.size()) {
      emit(Op::EndAnchor);
      ++at_;
      return true;
    }
    if (c == '%' && hasAt(1)) {
      const char next = p_[at_ + 1];
      if (next == 'b') return compileBalance();
      if (next == 'f') return compileFrontier();
      if (std::isdigit(static_cast<unsigned char>(next))) return compileBackReference(next - '1');
    }
    return compileSingle();
  }

  bool compileOpen() {
    if (captures_ >= kMaxCaptures) return fail(PatternError::TooManyCaptures);
    const bool position = peek(1) == ')';
    Instruction& in = emit(position ? Op::OpenPosition : Op::Open);
    in.capture = static_cast<std::uint8_t>(captures_);
    if (!position) open_[openCount_++] = captures_;
    ++captures_;
    at_ += position ? 2 : 1;
    return true;
  }

  bool compileClose() {
    if (openCount_ == 0) return fail(PatternError::InvalidPatternCapture);
    emit(Op::Close).capture = static_cast<std::uint8_t>(open_[--openCount_]);
    ++at_;
    return true;
  }

  bool compileBalance() {
    if (!hasAt(3)) return fail(PatternError::MissingBalanceArguments);
    Instruction& in = emit(Op::Balance);
    in.open = static_cast<unsigned char>(p_[at_ + 2]);
    in.close = static_cast<unsigned char>(p_[at_ + 3]);
    at_ += 4;
    return true;
  }

  bool compileFrontier() {
    at_ += 2;
    if (peek(0) != '[') return fail(PatternError::MissingFrontierBracket);
    std::size_t end = 0;
    if (!setEnd(at_, end)) return fail(PatternError::MissingBracket);
    emit(Op::Frontier).set = bracketSet(at_, end - 1);
    at_ = end;
    return true;
  }

  bool compileBackReference(int index) {
    if (index < 0 || index >= captures_ || isOpen(index)) return fail(PatternError::InvalidCaptureIndex, index + 1);
    emit(Op::BackRef).capture = static_cast<std::uint8_t>(index);
    at_ += 2;
    return true;
  }

  bool compileSingle() {
    CharSet set;
    std::size_t end = at_ + 1;
    const char c = p_[at_];
    if (c == '%') {
      if (!hasAt(1)) return fail(PatternError::EndsWithPercent);
      addClass(set, static_cast<unsigned char>(p_[at_ + 1]));
      end = at_ + 2;
    } else if (c == '[') {
      if (!setEnd(at_, end)) return fail(PatternError::MissingBracket);
      set = bracketSet(at_, end - 1);
    } else if (c == '.') {
      invert(set);
    } else {
      set.add(static_cast<unsigned char>(c));
    }
    Instruction& in = emit(Op::Single);
    in.set = set;
    at_ = end;
    if (at_ < p_.size()) in.repeat = repeatOf(p_[at_]);
    if (in.repeat != Repeat::Once) ++at_;
    return true;
  }

  static Repeat repeatOf(char c) {
    switch (c) {
      case '*': return Repeat::Greedy;
      case '+': return Repeat::AtLeastOne;
      case '-': return Repeat::Lazy;
      case '?': return Repeat::Optional;
      default: return Repeat::Once;
    }
  }

  bool isOpen(int index) const {
    for (int i = 0; i < openCount_; ++i)
      if (open_[i] == index) return true;
    return false;
  }

  // One past the ']' closing the set that opens at `from`. The first character after
  // "[" or "[^" never closes it, and '%' takes the character after it along.
  bool setEnd(std::size_t from, std::size_t& end) const {
    std::size_t i = from + 1;
    if (i < p_.size() && p_[i] == '^') ++i;
    do {
      if (i >= p_.size()) return false;
      if (p_[i++] == '%' && i < p_.size()) ++i;
    } while (i >= p_.size() || p_[i] != ']');
    end = i + 1;
    return true;
  }

  // The set written between the '[' at `from` and the ']' at `close`.
  CharSet bracketSet(std::size_t from, std::size_t close) const {
    CharSet set;
    std::size_t i = from + 1;
    const bool complement = p_[i] == '^';
    if (complement) ++i;
    for (; i < close; ++i) {
      const auto c = static_cast<unsigned char>(p_[i]);
      if (c == '%') {
        addClass(set, static_cast<unsigned char>(p_[++i]));
      } else if (p_[i + 1] == '-' && i + 2 < close) {
        addRange(set, c, static_cast<unsigned char>(p_[i + 2]));
        i += 2;
      } else {
        set.add(c);
      }
    }
    if (complement) invert(set);
    return set;
  }

  std::string_view p_;
  Instruction* out_;
  std::size_t count_ = 0;
  std::size_t at_ = 0;
  int captures_ = 0;
  int open_[kMaxCaptures] = {};
  int openCount_ = 0;
};

// --- the matcher -------------------------------------------------------------------

// A way back: what to try when everything after it failed, or what to undo.
enum class Back : std::uint8_t { Greedy, Lazy, Optional, UndoOpen, UndoClose };

struct BackEntry {
  Back kind;
  std::uint8_t capture;
  int next;              // the instruction after the item
  std::size_t position;  // Greedy: where the run began; Lazy, Optional: where to go on
  std::size_t count;     // Greedy: characters taken now
  std::size_t least;     // Greedy: fewest characters it may take
};

class Matcher {
 public:
  Matcher(const Instruction* program, std::string_view subject, StepMeter& meter, MatchOutcome& out)
      : program_(program), subject_(subject), meter_(meter), out_(out) {}

  void run(std::size_t start) {
    out_.matched = false;
    out_.error = PatternError::None;
    out_.captureCount = 0;
    int pc = 0;
    std::size_t s = start;
    for (;;) {
      meter_.spend(1);
      const Instruction& in = program_[pc];
      if (in.op == Op::Accept) {
        out_.matched = true;
        out_.end = s;
        return;
      }
      if (in.op == Op::Fail) return raise(in.error, in.capture);
      bool ok = true;
      if (!step(in, pc + 1, s, ok)) return;  // raised
      if (ok) {
        ++pc;
      } else if (!backtrack(pc, s)) {
        return;
      }
    }
  }

 private:
  bool matches(const Instruction& in, std::size_t s) const {
    return s < subject_.size() && in.set.has(static_cast<unsigned char>(subject_[s]));
  }

  void raise(PatternError error, int index) {
    out_.matched = false;
    out_.error = error;
    out_.errorIndex = index;
  }

  bool push(const BackEntry& entry) {
    if (depth_ >= kMaxNesting) {
      raise(PatternError::TooComplex, 0);
      return false;
    }
    stack_[depth_++] = entry;
    return true;
  }

  // Runs one instruction at `s`; `ok` false when it does not match there. False when
  // it raised an error.
  bool step(const Instruction& in, int next, std::size_t& s, bool& ok) {
    switch (in.op) {
      case Op::Single: return single(in, next, s, ok);
      case Op::Balance: ok = balance(in, s); return true;
      case Op::Frontier: {
        const auto before = static_cast<unsigned char>(s > 0 ? subject_[s - 1] : '\0');
        const auto here = static_cast<unsigned char>(s < subject_.size() ? subject_[s] : '\0');
        ok = !in.set.has(before) && in.set.has(here);
        return true;
      }
      case Op::BackRef: ok = backReference(in.capture, s); return true;
      case Op::Open:
      case Op::OpenPosition: {
        if (!push({Back::UndoOpen, in.capture, next, 0, 0, 0})) return false;
        out_.captures[in.capture] = {s, in.op == Op::Open ? kCaptureOpen : kCapturePosition};
        out_.captureCount = in.capture + 1;
        return true;
      }
      case Op::Close: {
        if (!push({Back::UndoClose, in.capture, next, 0, 0, 0})) return false;
        Capture& capture = out_.captures[in.capture];
        capture.length = static_cast<std::ptrdiff_t>(s - capture.start);
        return true;
      }
      case Op::EndAnchor: ok = s == subject_.size(); return true;
      default: return true;  // Accept and Fail are handled by the caller
    }
  }

  bool single(const Instruction& in, int next, std::size_t& s, bool& ok) {
    switch (in.repeat) {
      case Repeat::Once:
        ok = matches(in, s);
        if (ok) ++s;
        return true;
      case Repeat::Optional:
        if (!matches(in, s)) return true;
        if (!push({Back::Optional, 0, next, s, 0, 0})) return false;
        ++s;
        return true;
      case Repeat::Lazy:
        return !matches(in, s) || push({Back::Lazy, 0, next, s, 0, 0});
      case Repeat::Greedy:
      case Repeat::AtLeastOne: {
        std::size_t run = 0;
        while (matches(in, s + run)) ++run;
        meter_.spend(run);
        const std::size_t least = in.repeat == Repeat::AtLeastOne ? 1 : 0;
        if (run < least) {
          ok = false;
          return true;
        }
        if (run == 0) return true;
        if (!push({Back::Greedy, 0, next, s, run, least})) return false;
        s += run;
        return true;
      }
    }
    return true;
  }

  bool balance(const Instruction& in, std::size_t& s) {
    if (s >= subject_.size() || static_cast<unsigned char>(subject_[s]) != in.open) return false;
    int depth = 1;
    for (std::size_t i = s + 1; i < subject_.size(); ++i) {
      const auto c = static_cast<unsigned char>(subject_[i]);
      if (c == in.close) {
        if (--depth == 0) {
          meter_.spend(i - s);
          s = i + 1;
          return true;
        }
      } else if (c == in.open) {
        ++depth;
      }
    }
    meter_.spend(subject_.size() - s);
    return false;
  }

  // A position capture has no text: a reference to one never matches.
  bool backReference(int index, std::size_t& s) {
    const Capture& capture = out_.captures[index];
    if (capture.length < 0) return false;
    const auto length = static_cast<std::size_t>(capture.length);
    if (subject_.size() - s < length) return false;
    meter_.spend(length);
    if (subject_.compare(s, length, subject_.substr(capture.start, length)) != 0) return false;
    s += length;
    return true;
  }

  // Resumes the newest way back that has an alternative left; false when none has.
  bool backtrack(int& pc, std::size_t& s) {
    while (depth_ > 0) {
      BackEntry& entry = stack_[depth_ - 1];
      switch (entry.kind) {
        case Back::UndoOpen: out_.captureCount = entry.capture; break;
        case Back::UndoClose: out_.captures[entry.capture].length = kCaptureOpen; break;
        case Back::Greedy:
          if (entry.count > entry.least) {
            s = entry.position + --entry.count;
            pc = entry.next;
            return true;
          }
          break;
        case Back::Lazy:
          if (matches(program_[entry.next - 1], entry.position)) {
            s = ++entry.position;
            pc = entry.next;
            return true;
          }
          break;
        case Back::Optional:
          s = entry.position;
          pc = entry.next;
          --depth_;
          return true;
      }
      --depth_;
    }
    return false;
  }

  const Instruction* program_;
  std::string_view subject_;
  StepMeter& meter_;
  MatchOutcome& out_;
  BackEntry stack_[kMaxNesting];
  int depth_ = 0;
};

}  // namespace

std::string errorText(PatternError error, int index) {
  switch (error) {
    case PatternError::None: return {};
    case PatternError::EndsWithPercent: return "malformed pattern (ends with '%')";
    case PatternError::MissingBracket: return "malformed pattern (missing ']')";
    case PatternError::MissingBalanceArguments: return "malformed pattern (missing arguments to '%b')";
    case PatternError::MissingFrontierBracket: return "missing '[' after '%f' in pattern";
    case PatternError::InvalidCaptureIndex: return "invalid capture index %" + std::to_string(index);
    case PatternError::InvalidPatternCapture: return "invalid pattern capture";
    case PatternError::TooManyCaptures: return "too many captures";
    case PatternError::TooComplex: return "pattern too complex";
  }
  return {};
}

void StepMeter::spend(std::size_t steps) {
  while (steps > 0) {
    const std::size_t taken = steps < static_cast<std::size_t>(untilCharge) ? steps : untilCharge;
    untilCharge -= static_cast<int>(taken);
    steps -= taken;
    if (untilCharge == 0) {
      untilCharge = stepsPerCharge;
      if (charge) charge(context);
    }
  }
}

std::size_t compilePattern(std::string_view pattern, Instruction* out) { return Compiler(pattern, out).run(); }

void matchAt(const Instruction* program, std::string_view subject, std::size_t start, StepMeter& meter,
             MatchOutcome& out) {
  Matcher(program, subject, meter, out).run(start);
}

}  // namespace zorv::patterns
