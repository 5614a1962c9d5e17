// Saving the options once a change has settled, and saying once when that is impossible.

#include "client/options_store.h"

namespace zorv {
namespace {

void save(OptionsStore& store, const OptionsReport& report) {
  store.debounce.clear();
  if (store.latest == store.saved) return;
  if (writeOptionsFile(store.path, store.latest, store.unknownLines)) {
    store.saved = store.latest;
    store.failureReported = false;
    return;
  }
  // Retried on the next change; the game keeps the options in memory meanwhile.
  if (!store.failureReported && report) {
    report("options: cannot save " + store.path.string() + "; changes last until the game closes");
  }
  store.failureReported = true;
}

}  // namespace

OptionsStore openOptionsStore(const std::filesystem::path& path, const OptionsReport& report) {
  OptionsFile file = readOptionsFile(path);
  if (report) {
    for (const std::string& warning : file.warnings) report(warning);
  }
  OptionsStore store;
  store.path = path;
  store.unknownLines = std::move(file.unknownLines);
  store.saved = file.options;
  store.latest = file.options;
  return store;
}

void updateOptionsStore(OptionsStore& store, const Options& current, double now, const OptionsReport& report) {
  if (!(current == store.latest)) {
    store.latest = current;
    store.debounce.markChanged(now);
  }
  if (store.debounce.due(now)) save(store, report);
}

void flushOptionsStore(OptionsStore& store, const Options& current, const OptionsReport& report) {
  store.latest = current;
  save(store, report);
}

}  // namespace zorv
