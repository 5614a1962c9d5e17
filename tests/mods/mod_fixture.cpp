#include "mod_fixture.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace zorv::testing {

namespace fs = std::filesystem;

void writeArchive(const fs::path& path, const ArchiveEntries& entries) {
  fs::create_directories(path.parent_path());
  if (!zorv::writeArchive(path, entries)) throw std::runtime_error("cannot write test archive " + path.string());
}

void patchDeclaredSize(const fs::path& archive, const std::string& entry, std::uint32_t size) {
  std::string bytes = readFile(archive);
  // Local headers keep the size at offset 22 and the name at 30; central ones at 24 and 46.
  const struct {
    const char* signature;
    std::size_t sizeOffset, nameOffset;
  } headers[] = {{"PK\x03\x04", 22, 30}, {"PK\x01\x02", 24, 46}};
  for (const auto& header : headers) {
    for (std::size_t at = bytes.find(header.signature); at != std::string::npos;
         at = bytes.find(header.signature, at + 4)) {
      if (bytes.compare(at + header.nameOffset, entry.size(), entry) != 0) continue;
      for (int i = 0; i < 4; ++i) bytes[at + header.sizeOffset + i] = static_cast<char>(size >> (8 * i));
    }
  }
  writeFile(archive, bytes);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::unique_ptr<ModRecord> makeMod(const ScratchFolder& scratch, const std::string& id, const std::string& script,
                                   ModContext* context, MemoryPool* pool) {
  const fs::path package = scratch.path() / "packages" / id;
  writeFile(package / "main.lua", script);
  return createMod(id, package, scratch.path() / "data" / id, context, pool);
}

}  // namespace zorv::testing
