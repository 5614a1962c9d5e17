#include "mods/loader.h"

#include <gtest/gtest.h>

#include "mod_fixture.h"
#include "world/registry.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeArchive;
using testing::writeFile;

TEST(ModLoader, PackageNamesGiveIdsOnlyForModAndZipArchives) {
  EXPECT_EQ(packageModId("Foo.mod.zorvk"), "Foo");
  EXPECT_EQ(packageModId("Thing.ZIP"), "Thing");
  EXPECT_EQ(packageModId("x.MOD.ZORVK"), "x");
  EXPECT_EQ(packageModId("a.zip"), "a");
  EXPECT_EQ(packageModId("thing.txt"), "");
  EXPECT_EQ(packageModId(".hidden.zip"), "");
  EXPECT_EQ(packageModId(".zip"), "");
  EXPECT_EQ(packageModId("mod.zorvk"), "");
  // ".mod.zorvk" alone is 10 characters: not longer than the suffix, and not a zip.
  EXPECT_EQ(packageModId("a.mod.zorvk.txt"), "");
}

TEST(ModLoader, RelativePathRuleRefusesEveryWayOut) {
  EXPECT_TRUE(isSafeRelativePath("main.lua"));
  EXPECT_TRUE(isSafeRelativePath("a/b/c.png"));
  EXPECT_TRUE(isSafeRelativePath("a//b"));
  EXPECT_TRUE(isSafeRelativePath("..a/b..c/.d"));
  EXPECT_FALSE(isSafeRelativePath("../evil.lua"));
  EXPECT_FALSE(isSafeRelativePath("/abs.lua"));
  EXPECT_FALSE(isSafeRelativePath("C:/x"));
  EXPECT_FALSE(isSafeRelativePath("a/../../b"));
  EXPECT_FALSE(isSafeRelativePath("a/.."));
  EXPECT_FALSE(isSafeRelativePath("./a"));
  EXPECT_FALSE(isSafeRelativePath("."));
  EXPECT_FALSE(isSafeRelativePath(".."));
}

TEST(ModLoader, UnpackWritesOnlyEntriesThatStayInsideTheTarget) {
  ScratchFolder scratch;
  const fs::path archive = scratch.path() / "p.zip";
  writeArchive(archive, {{"../evil.lua", "e"},
                         {"/abs.lua", "a"},
                         {"C:/x", "c"},
                         {"a/../../b", "b"},
                         {"a\\b.lua", "backslash"},
                         {"__MACOSX/._main.lua", "junk"},
                         {"dir/", ""},
                         {"dir/nested/file.txt", "nested"}});
  const fs::path target = scratch.path() / "cache" / "p";
  std::string error;
  ASSERT_TRUE(unpackArchive(archive, target, error)) << error;
  EXPECT_EQ(readFile(target / "a" / "b.lua"), "backslash");
  EXPECT_EQ(readFile(target / "dir" / "nested" / "file.txt"), "nested");
  EXPECT_FALSE(fs::exists(target / "__MACOSX"));
  EXPECT_FALSE(fs::exists(scratch.path() / "cache" / "evil.lua"));
  EXPECT_FALSE(fs::exists(scratch.path() / "evil.lua"));
  EXPECT_FALSE(fs::exists(scratch.path() / "b"));
  EXPECT_FALSE(fs::exists(target / "C:"));
  // Exactly the two good files were written anywhere in the scratch folder.
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path()))
    if (entry.is_regular_file() && entry.path() != archive) ++files;
  EXPECT_EQ(files, 2);
}

TEST(ModLoader, UnpackRefusesEmptyHugeAndDamagedArchivesLeavingNothing) {
  ScratchFolder scratch;
  const fs::path target = scratch.path() / "out";
  std::string error;

  // End-of-central-directory record alone: a valid archive with no entries.
  writeFile(scratch.path() / "empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_FALSE(unpackArchive(scratch.path() / "empty.zip", target, error));
  EXPECT_EQ(error, "zip has too many files");

  // Folder entries count as entries but write nothing, which keeps the test quick.
  testing::ArchiveEntries many;
  for (int i = 0; i < 4096; ++i) many.emplace_back("d" + std::to_string(i) + "/", "");
  many.emplace_back("main.lua", "x");
  writeArchive(scratch.path() / "many.zip", many);
  EXPECT_FALSE(unpackArchive(scratch.path() / "many.zip", target, error));
  EXPECT_EQ(error, "zip has too many files");
  many.erase(many.begin());
  writeArchive(scratch.path() / "limit.zip", many);
  EXPECT_TRUE(unpackArchive(scratch.path() / "limit.zip", target, error));
  EXPECT_EQ(readFile(target / "main.lua"), "x");
  fs::remove_all(target);

  // Sizes adding up to one byte past 256 MiB: the first entry is written before the total
  // is exceeded, and must be gone again afterwards.
  writeArchive(scratch.path() / "large.zip", {{"a.bin", "1"}, {"b.bin", "claims to be large"}});
  testing::patchDeclaredSize(scratch.path() / "large.zip", "b.bin", 256u << 20);
  EXPECT_FALSE(unpackArchive(scratch.path() / "large.zip", target, error));
  EXPECT_EQ(error, "zip is too large");
  EXPECT_FALSE(fs::exists(target));

  // An entry whose data does not match its declared size is skipped, not half-written.
  writeArchive(scratch.path() / "liar.zip", {{"main.lua", "x"}, {"b.bin", "real content"}});
  testing::patchDeclaredSize(scratch.path() / "liar.zip", "b.bin", 4);
  EXPECT_TRUE(unpackArchive(scratch.path() / "liar.zip", target, error));
  EXPECT_EQ(readFile(target / "main.lua"), "x");
  EXPECT_FALSE(fs::exists(target / "b.bin"));
  fs::remove_all(target);

  writeFile(scratch.path() / "damaged.zip", "PK\x03\x04 this is not an archive");
  EXPECT_FALSE(unpackArchive(scratch.path() / "damaged.zip", target, error));
  EXPECT_EQ(error, "cannot open zip");
  EXPECT_FALSE(unpackArchive(scratch.path() / "missing.zip", target, error));
  EXPECT_EQ(error, "cannot open zip");
}

TEST(ModLoader, MainScriptAtTheRootOrInTheFirstSubfolderHoldingIt) {
  ScratchFolder scratch;
  const fs::path root = scratch.path() / "root";
  writeFile(root / "main.lua", "x");
  writeFile(root / "b" / "main.lua", "x");
  EXPECT_EQ(findMainScript(root), root);

  const fs::path nested = scratch.path() / "nested";
  writeFile(nested / "c" / "main.lua", "x");
  writeFile(nested / "b" / "main.lua", "x");
  writeFile(nested / "a" / "other.lua", "x");
  fs::create_directories(nested / "d" / "main.lua");  // a folder, not a script
  EXPECT_EQ(findMainScript(nested), nested / "b");

  const fs::path deep = scratch.path() / "deep";
  writeFile(deep / "a" / "b" / "main.lua", "x");
  EXPECT_EQ(findMainScript(deep), fs::path());
}

// A mods folder with the packages of the mod test's shape.
void writeThreeMods(const fs::path& mods, const std::string& goodScript) {
  writeArchive(mods / "bbb_zip.mod.zorvk", {{"zip_mod/", ""}, {"zip_mod/main.lua", "zorv.log('zip')"}});
  writeArchive(mods / "aaa_good.mod.zorvk", {{"main.lua", goodScript}});
  writeArchive(mods / "zzz_budget.mod.zorvk", {{"main.lua", "zorv.log('budget')"}});
}

TEST(ModLoader, LoadsPackagesInSortedOrderAndRebuildsTheCache) {
  ScratchFolder scratch;
  const fs::path mods = scratch.path() / "mods";
  writeThreeMods(mods, "zorv.log('good')");
  writeArchive(mods / "a.zip", {{"main.lua", "zorv.log('a zip')"}});
  writeArchive(mods / "a.mod.zorvk", {{"main.lua", "zorv.log('a mod')"}});
  writeArchive(mods / "nomain.zip", {{"readme.txt", "no script"}});
  writeFile(mods / "broken.zip", "not a zip");
  writeArchive(mods / ".hidden.zip", {{"main.lua", "zorv.log('hidden')"}});
  writeFile(mods / "notes.txt", "ignored");
  fs::create_directories(mods / "folder.zip");
  writeFile(mods / ".cache" / "stale" / "left.lua", "old");

  testing::RecordingContext context;
  ModHost host;
  ::testing::internal::CaptureStderr();
  loadMods(host, mods, &context);
  const std::string errors = ::testing::internal::GetCapturedStderr();

  EXPECT_TRUE(host.enabled);
  EXPECT_EQ(modIds(host), (std::vector<std::string>{"a", "aaa_good", "bbb_zip", "zzz_budget"}));
  EXPECT_EQ(context.logs, (std::vector<std::string>{"[a] a mod", "[aaa_good] good", "[bbb_zip] zip",
                                                    "[zzz_budget] budget"}));
  EXPECT_EQ(host.mods[2]->packageDir, mods / ".cache" / "bbb_zip" / "zip_mod");
  EXPECT_EQ(host.mods[2]->dataDir, mods / "bbb_zip");
  EXPECT_NE(errors.find("[mod:broken] cannot open zip\n"), std::string::npos);
  EXPECT_NE(errors.find("[mod:nomain] package has no main.lua\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(mods / ".cache" / "stale"));
  EXPECT_FALSE(fs::exists(mods / ".cache" / "hidden"));
}

TEST(ModLoader, LaterPackageOfAFailedIdIsStillTriedOnACleanFolder) {
  ScratchFolder scratch;
  const fs::path mods = scratch.path() / "mods";
  writeArchive(mods / "b.mod.zorvk", {{"main.lua", "error('broken on purpose')"}, {"extra.lua", "x"}});
  writeArchive(mods / "b.zip", {{"main.lua", "zorv.log('second')"}});
  testing::RecordingContext context;
  ModHost host;
  ::testing::internal::CaptureStderr();
  loadMods(host, mods, &context);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(modIds(host), std::vector<std::string>{"b"});
  EXPECT_NE(errors.find("[mod:b] load failed: "), std::string::npos);
  EXPECT_NE(errors.find("broken on purpose"), std::string::npos);
  EXPECT_FALSE(fs::exists(mods / ".cache" / "b" / "extra.lua"));
}

TEST(ModLoader, FingerprintFollowsIdsAndScriptBytes) {
  testing::RecordingContext context;
  auto fingerprintOf = [&](const std::string& goodName, const std::string& goodScript) {
    ScratchFolder scratch;
    const fs::path mods = scratch.path() / "mods";
    writeArchive(mods / "first.zip", {{"main.lua", "zorv.log('1')"}});
    writeArchive(mods / goodName, {{"main.lua", goodScript}});
    writeArchive(mods / "zfailing.zip", {{"main.lua", "error('x')"}});
    ModHost host;
    ::testing::internal::CaptureStderr();
    loadMods(host, mods, &context);
    ::testing::internal::GetCapturedStderr();
    return host.fingerprint;
  };
  const std::uint32_t base = fingerprintOf("good.zip", "zorv.log('2')");
  EXPECT_EQ(fingerprintOf("good.zip", "zorv.log('2')"), base);
  EXPECT_NE(fingerprintOf("good2.zip", "zorv.log('2')"), base);
  EXPECT_NE(fingerprintOf("good.zip", "zorv.log('3')"), base);

  // Worked by hand: FNV-1a over the id "m", a zero byte, then the script bytes.
  ScratchFolder scratch;
  writeArchive(scratch.path() / "mods" / "m.zip", {{"main.lua", "x = 1"}});
  ModHost host;
  loadMods(host, scratch.path() / "mods", &context);
  std::uint32_t withScript = 2166136261u;
  for (unsigned char byte : std::string("m") + std::string(1, '\0') + "x = 1") {
    withScript ^= byte;
    withScript *= 16777619u;
  }
  EXPECT_EQ(host.fingerprint, withScript);
}

TEST(ModLoader, MissingFolderMeansNoModsButLoadingHasRun) {
  ScratchFolder scratch;
  ModHost host;
  host.fingerprint = 7;
  loadMods(host, scratch.path() / "absent", nullptr);
  EXPECT_TRUE(host.enabled);
  EXPECT_TRUE(host.mods.empty());
  EXPECT_EQ(host.fingerprint, 2166136261u);
  EXPECT_FALSE(fs::exists(scratch.path() / "absent"));
}

}  // namespace
}  // namespace zorv
