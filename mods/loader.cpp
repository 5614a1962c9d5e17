#include "mods/loader.h"
#include "platform/text.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <system_error>

namespace zorv {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kModSuffix = ".mod.zorvk";
constexpr std::string_view kZipSuffix = ".zip";

struct ZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;
using ZipFileHandle = std::unique_ptr<zip_file_t, ZipFileCloser>;

// The entry's bytes, or false when they cannot be read in full or do not match the
// checksum (an archive that understates a size would otherwise be cut short silently).
bool readEntry(zip_t* archive, zip_uint64_t index, std::uint64_t size, std::uint32_t crc, std::string& bytes) {
  ZipFileHandle file(zip_fopen_index(archive, index, 0));
  if (!file) return false;
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const zip_int64_t got = zip_fread(file.get(), bytes.data() + filled, bytes.size() - filled);
    if (got <= 0) return false;
    filled += static_cast<std::size_t>(got);
  }
  uLong sum = crc32(0L, Z_NULL, 0);
  for (std::size_t at = 0; at < bytes.size(); at += 1u << 30) {
    const std::size_t part = std::min<std::size_t>(bytes.size() - at, 1u << 30);
    sum = crc32(sum, reinterpret_cast<const Bytef*>(bytes.data() + at), static_cast<uInt>(part));
  }
  return sum == crc;
}

bool writeWholeFile(const fs::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return true;
  std::error_code error;
  fs::remove(path, error);
  return false;
}

// Writes one entry below `target`, creating the folders on the way; a failed entry is skipped.
void extractEntry(zip_t* archive, const zip_stat_t& stat, const fs::path& target, const std::string& name) {
  std::string bytes;
  if (!readEntry(archive, stat.index, stat.size, stat.crc, bytes)) return;
  const fs::path path = target / name;
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  if (error) return;
  writeWholeFile(path, bytes);
}

bool refuse(const fs::path& target, std::string& error, const char* reason) {
  std::error_code ignored;
  fs::remove_all(target, ignored);
  error = reason;
  return false;
}

bool isPackage(const fs::directory_entry& entry) {
  std::error_code error;
  return entry.is_regular_file(error) && !packageModId(entry.path().filename().string()).empty();
}

void extendFingerprint(std::uint32_t& fingerprint, const std::string& id, const fs::path& script) {
  std::string bytes;
  if (std::FILE* file = std::fopen(script.c_str(), "rb")) {
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
  }
  fingerprint = fnv1a(fingerprint, id) * kFingerprintPrime;  // the zero separator byte
  fingerprint = fnv1a(fingerprint, bytes);
}

}  // namespace

std::uint32_t fnv1a(std::uint32_t hash, std::string_view bytes) {
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= kFingerprintPrime;
  }
  return hash;
}

std::string packageModId(std::string_view fileName) {
  if (fileName.empty() || fileName.front() == '.') return {};
  const std::string lowered = lowerAscii(fileName);
  if (lowered.size() > kModSuffix.size() && lowered.ends_with(kModSuffix))
    return std::string(fileName.substr(0, fileName.size() - kModSuffix.size()));
  if (lowered.size() >= 5 && lowered.ends_with(kZipSuffix))
    return std::string(fileName.substr(0, fileName.size() - kZipSuffix.size()));
  return {};
}

bool isSafeRelativePath(std::string_view name) {
  if (name.starts_with('/') || name.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view component = name.substr(start, end - start);
    if (component == "." || component == "..") return false;
    start = end + 1;
  }
  return true;
}

bool unpackArchive(const fs::path& archivePath, const fs::path& target, std::string& error) {
  int openError = 0;
  ZipHandle archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &openError));
  if (!archive) return refuse(target, error, "cannot open zip");
  const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
  if (entries <= 0 || static_cast<std::uint64_t>(entries) > kMaxArchiveEntries)
    return refuse(target, error, "zip has too many files");

  std::uint64_t total = 0;
  for (zip_uint64_t index = 0; index < static_cast<zip_uint64_t>(entries); ++index) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), index, ZIP_FL_ENC_RAW, &stat) != 0) continue;
    constexpr zip_uint64_t kNeeded = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_CRC | ZIP_STAT_INDEX;
    if ((stat.valid & kNeeded) != kNeeded) continue;
    std::string name = stat.name;
    if (name.empty() || name.back() == '/' || name.back() == '\\') continue;  // a directory
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.starts_with("__MACOSX/") || !isSafeRelativePath(name)) continue;
    total += stat.size;
    if (total > kMaxArchiveBytes) return refuse(target, error, "zip is too large");
    extractEntry(archive.get(), stat, target, name);
  }
  return true;
}

bool writeArchive(const fs::path& archivePath, const ArchiveEntries& entries) {
  int openError = 0;
  zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &openError);
  if (!archive) return false;
  for (const auto& [name, content] : entries) {
    const bool added = name.ends_with('/') ? zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_RAW) >= 0 : [&] {
      zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
      if (source && zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW) >= 0) return true;
      zip_source_free(source);
      return false;
    }();
    if (!added) {
      zip_discard(archive);
      return false;
    }
  }
  return zip_close(archive) == 0;
}

fs::path findMainScript(const fs::path& folder) {
  std::error_code error;
  if (fs::is_regular_file(folder / "main.lua", error)) return folder;
  std::vector<fs::path> subfolders;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->is_directory(error)) subfolders.push_back(it->path());
  std::sort(subfolders.begin(), subfolders.end());
  for (const fs::path& subfolder : subfolders)
    if (fs::is_regular_file(subfolder / "main.lua", error)) return subfolder;
  return {};
}

void loadMods(ModHost& host, const fs::path& modsFolder, ModContext* context, const std::atomic<bool>* cancel) {
  host.mods.clear();
  host.context = context;
  host.enabled = true;
  host.fingerprint = kFingerprintBasis;
  std::error_code error;
  if (!fs::is_directory(modsFolder, error)) return;

  const fs::path cache = modsFolder / ".cache";
  fs::remove_all(cache, error);
  fs::create_directories(cache, error);

  std::vector<fs::path> packages;
  for (fs::directory_iterator it(modsFolder, error), end; !error && it != end; it.increment(error))
    if (isPackage(*it)) packages.push_back(it->path());
  std::sort(packages.begin(), packages.end(),
            [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });

  for (const fs::path& package : packages) {
    if (cancel != nullptr && cancel->load()) return;
    const std::string id = packageModId(package.filename().string());
    const bool loaded = std::any_of(host.mods.begin(), host.mods.end(),
                                    [&](const std::unique_ptr<ModRecord>& mod) { return mod->id == id; });
    if (loaded) continue;
    const fs::path unpacked = cache / id;
    fs::remove_all(unpacked, error);  // a failed package of the same id may have left files
    std::string reason;
    if (!unpackArchive(package, unpacked, reason)) {
      std::fprintf(stderr, "[mod:%s] %s\n", id.c_str(), reason.c_str());
      continue;
    }
    const fs::path packageDir = findMainScript(unpacked);
    if (packageDir.empty()) {
      std::fprintf(stderr, "[mod:%s] package has no main.lua\n", id.c_str());
      continue;
    }
    std::unique_ptr<ModRecord> mod = createMod(id, packageDir, modsFolder / id, context);
    if (!mod) continue;
    extendFingerprint(host.fingerprint, id, packageDir / "main.lua");
    host.mods.push_back(std::move(mod));
  }
}

std::vector<std::string> modIds(const ModHost& host) {
  std::vector<std::string> ids;
  for (const std::unique_ptr<ModRecord>& mod : host.mods) ids.push_back(mod->id);
  return ids;
}

}  // namespace zorv
