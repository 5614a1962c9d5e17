#pragma once
// The options file of a running game: the options read at start-up, and the saving of
// changes once they have settled, so a slider being dragged is not written every frame.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/options.h"

namespace zorv {

// Waits for changes to settle before saving: `markChanged` on every change, and the save
// is due once `delay` seconds passed since the last one.
struct SaveDebounce {
  double delay = 0.5;
  std::optional<double> lastChange;

  void markChanged(double now) { lastChange = now; }
  bool due(double now) const { return lastChange && now - *lastChange >= delay; }
  void clear() { lastChange.reset(); }
};

// Receives the store's console lines.
using OptionsReport = std::function<void(const std::string&)>;

// The options file of a running game: compares each frame's options with what was last
// saved, and writes the file when a change has settled. A write that fails is reported
// once through `report`; the game goes on with the options in memory.
struct OptionsStore {
  std::filesystem::path path;
  std::vector<std::string> unknownLines;
  Options saved;   // what the file holds
  Options latest;  // what the last update saw
  SaveDebounce debounce;
  bool failureReported = false;
};

// Reads the file at `path`, sends its warnings to `report`, and returns the store with
// the options read (the defaults where the file lacks them).
OptionsStore openOptionsStore(const std::filesystem::path& path, const OptionsReport& report);
// Call once a frame with the options as they are now.
void updateOptionsStore(OptionsStore& store, const Options& current, double now,
                        const OptionsReport& report);
// Writes pending changes at once (on exit).
void flushOptionsStore(OptionsStore& store, const Options& current, const OptionsReport& report);

}  // namespace zorv
