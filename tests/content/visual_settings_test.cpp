#include "content/visual_settings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pack_fixture.h"

namespace zorv {
namespace {

using namespace zorv::testing;

TEST(VisualSettings, ReadJsonNumberIsATextualSearch) {
  EXPECT_EQ(readJsonNumber(R"({"bloom": 0})", "bloom"), 0.0f);
  EXPECT_EQ(readJsonNumber(R"({"bloom": "high"})", "bloom"), std::nullopt);
  EXPECT_EQ(readJsonNumber(R"({"ssao":0.3,"ssao":0.9})", "ssao"), 0.3f);
  EXPECT_EQ(readJsonNumber(R"({"exposure":  -2.5e1 })", "exposure"), -25.0f);
  EXPECT_EQ(readJsonNumber(R"({"exposure": 1.5})", "exposure_bias"), std::nullopt);  // the quotes delimit the key
  EXPECT_EQ(readJsonNumber(R"({"bloom" 0.5})", "bloom"), std::nullopt);              // no colon after it
  EXPECT_EQ(readJsonNumber("", "bloom"), std::nullopt);
  // The first quoted "fxaa" is fog_start's value; the next colon belongs to bloom.
  const char* tricky = R"({"fog_start": "fxaa", "bloom": 0.2})";
  EXPECT_EQ(readJsonNumber(tricky, "fxaa"), 0.2f);
  EXPECT_EQ(readJsonNumber(tricky, "bloom"), 0.2f);
  EXPECT_EQ(readJsonNumber(tricky, "fog_start"), std::nullopt);
}

TEST(VisualSettings, DefaultsAndKeyNames) {
  VisualSettings s;
  EXPECT_EQ(s.fogStart, -1.0f);
  EXPECT_EQ(s.ambient, 0.22f);
  EXPECT_EQ(s.shadowStrength, 0.75f);
  EXPECT_EQ(s.bloom, 0.35f);
  EXPECT_EQ(s.ssao, 0.6f);
  applyVisualJson(R"({"fog_start": 40, "exposure": 2, "saturation": 3, "ambient": 4, "water": 5,
    "shadow_strength": 6, "shadow_distance": 7, "bloom": 8, "bloom_threshold": 9, "ssao": 10,
    "auto_exposure": 11, "exposure_bias": 12, "fxaa": 13})",
                  s);
  EXPECT_EQ(std::vector<float>({s.fogStart, s.exposure, s.saturation, s.ambient, s.water, s.shadowStrength,
                                s.shadowDistance, s.bloom, s.bloomThreshold, s.ssao, s.autoExposure, s.exposureBias,
                                s.fxaa}),
            std::vector<float>({40, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  VisualSettings t;
  applyVisualJson(R"({"fog_start": "fxaa", "bloom": 0.2})", t);
  EXPECT_EQ(t.fogStart, -1.0f);
  EXPECT_EQ(t.fxaa, 0.2f);
  EXPECT_EQ(t.bloom, 0.2f);
}

TEST(VisualSettings, LaterPacksOverrideKeyByKey) {
  TempFolder temp;
  const fs::path dir = temp.path();
  writeBytes(dir / "a_pack/visual.json", textBytes(R"({"bloom": 0.1, "ssao": 0.2})"));
  writeZip(dir / "b.zip", {{"VISUAL.JSON", textBytes(R"({"ssao": 0.9, "bloom": "high"})")}});
  writeBytes(dir / "c_empty/visual.json", textBytes(""));
  fs::create_directories(dir / "d_without");
  ::testing::internal::CaptureStdout();
  const VisualSettings s = loadVisualSettings(dir);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "visual settings: a_pack\nvisual settings: b\n");
  EXPECT_EQ(s.bloom, 0.1f);
  EXPECT_EQ(s.ssao, 0.9f);
  EXPECT_EQ(s.exposure, 1.0f);
  EXPECT_EQ(s.fxaa, 1.0f);

  const VisualSettings none = loadVisualSettings(dir / "missing");
  EXPECT_EQ(none.bloom, 0.35f);
}

TEST(VisualSettings, ShaderOverridesComeFromEveryPackInOrder) {
  TempFolder temp;
  const fs::path dir = temp.path();
  const Bytes first = textBytes("first final shader..");
  const Bytes second = textBytes("second final shader.");
  const Bytes block = textBytes("block vertex shader.");
  writeBytes(dir / "a/shaders/final_fs.spv", first);
  writeBytes(dir / "a/shaders/block_vs.spv", block);
  writeBytes(dir / "a/shaders/post_vs.spv", textBytes("not overridable....."));
  writeBytes(dir / "a/shaders/shadow_vs.spv", textBytes(""));
  writeZip(dir / "b.rp.zorvk", {{"Shaders/Final_FS.spv", second}});
  ::testing::internal::CaptureStdout();
  const ShaderOverrides overrides = loadShaderOverrides(dir);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "shader override: block_vs from a\nshader override: final_fs from a\nshader override: final_fs from b\n");
  ASSERT_EQ(overrides.size(), 2u);
  EXPECT_EQ(overrides.at("final_fs"), second);
  EXPECT_EQ(overrides.at("block_vs"), block);
  EXPECT_STREQ(kShaderOverrideSlots[4].replacedFile, "post_fxaa_fs.spv");
  EXPECT_STREQ(kShaderOverrideSlots[3].replacedFile, "post_composite_fs.spv");
}

TEST(VisualSettings, OverrideValidationChecksSizeAndMagic) {
  auto check = [](const Bytes& bytes) {
    ::testing::internal::CaptureStderr();
    const bool ok = validateShaderOverride("final_fs", bytes);
    return std::pair{ok, ::testing::internal::GetCapturedStderr()};
  };
  Bytes spirv(24, 0);
  spirv[0] = 0x03;
  spirv[1] = 0x02;
  spirv[2] = 0x23;
  spirv[3] = 0x07;
  EXPECT_EQ(check(spirv), (std::pair<bool, std::string>{true, ""}));
  EXPECT_EQ(check(Bytes(spirv.begin(), spirv.begin() + 20)), (std::pair<bool, std::string>{true, ""}));
  const std::pair<bool, std::string> invalidSize{false, "shader override final_fs has invalid size\n"};
  EXPECT_EQ(check(Bytes(spirv.begin(), spirv.begin() + 16)), invalidSize);
  EXPECT_EQ(check(Bytes(spirv.begin(), spirv.begin() + 22)), invalidSize);
  EXPECT_EQ(check({}), invalidSize);
  Bytes bigEndian = spirv;
  std::reverse(bigEndian.begin(), bigEndian.begin() + 4);
  EXPECT_EQ(check(bigEndian), (std::pair<bool, std::string>{false, "shader override final_fs is not SPIR-V\n"}));

  ::testing::internal::CaptureStderr();
  reportShaderOverrideFallback("final_fs");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "shader override final_fs failed, using built-in\n");
}

}  // namespace
}  // namespace zorv
