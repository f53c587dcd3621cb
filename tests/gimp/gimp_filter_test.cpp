// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gimp/gimp_filter.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/reference_pictures.h"

namespace {

const std::string kDataDir = std::string(QUILLANE_TEST_DATA_DIR) + "/painting";

// The reference input as a GIMP layer of `channels` bytes a pixel, its green for grey (also as
// RGB when `greyColours`); alpha counts x + y.
LayerPixels LayerOfInput(int channels, bool greyColours = false) {
  const DibHandle dib = DecodePicture(kDataDir + "/input.png");
  LayerPixels layer;
  layer.width = dib.Header()->biWidth;
  layer.height = dib.Header()->biHeight;
  layer.channels = channels;
  const int64_t stride = DibRowBytes(layer.width, 24);
  for (int y = 0; y < layer.height; ++y) {
    const uint8_t* row = dib.Pixels() + (layer.height - 1 - y) * stride;
    for (int x = 0; x < layer.width; ++x) {
      const uint8_t* bgr = row + 3 * x;
      if (channels < 3)
        layer.bytes.push_back(bgr[1]);
      else if (greyColours)
        layer.bytes.insert(layer.bytes.end(), {bgr[1], bgr[1], bgr[1]});
      else
        layer.bytes.insert(layer.bytes.end(), {bgr[2], bgr[1], bgr[0]});
      if (channels % 2 == 0) layer.bytes.push_back(static_cast<uint8_t>(x + y));
    }
  }
  return layer;
}

FilterValues Seeded(uint32_t seed) {
  FilterValues values;
  values.randomSeed = false;
  values.seed = seed;
  return values;
}

LayerPixels Painted(LayerPixels layer, EffectKind effect) {
  FilterWindow window(nullptr, std::nullopt);
  const FilterOutcome outcome = RunFilter(kEffectTable[effect], Seeded(20261207), &layer, window);
  EXPECT_EQ(outcome.code, kPaintFinished) << outcome.message;
  return layer;
}

// An RGBA layer painted at the reference seed has the reference picture's colours and keeps
// its alpha; a grey layer takes the grey of the painting of its RGB twin and keeps its alpha.
TEST(GimpFilter, PaintsTheReferencePixelsAndKeepsAlpha) {
  const LayerPixels colour = Painted(LayerOfInput(4), VanGogh);
  const LayerPixels twin = Painted(LayerOfInput(4, true), Pointillism);
  const LayerPixels grey = Painted(LayerOfInput(2), Pointillism);
  const DibHandle reference = DecodePicture(kDataDir + "/van-gogh.png");
  const int64_t stride = DibRowBytes(colour.width, 24);
  long wrong = 0;
  for (int y = 0; y < colour.height; ++y) {
    for (int x = 0; x < colour.width; ++x) {
      const uint8_t* bgr = reference.Pixels() + (colour.height - 1 - y) * stride + 3 * x;
      const uint8_t* pixel = &colour.bytes[(y * colour.width + x) * 4];
      const uint8_t* rgb = &twin.bytes[(y * colour.width + x) * 4];
      const uint8_t* g = &grey.bytes[(y * colour.width + x) * 2];
      const uint8_t alpha = static_cast<uint8_t>(x + y);
      wrong += pixel[0] != bgr[2] || pixel[1] != bgr[1] || pixel[2] != bgr[0] || pixel[3] != alpha;
      wrong += g[0] != (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000 || g[1] != alpha;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_NE(grey.bytes, LayerOfInput(2).bytes);
}

// Stopped (at once or half-way), refused or handed pixels that do not fit, the layer stays.
TEST(GimpFilter, LeavesTheLayerWhenThePaintingDoesNotFinish) {
  struct Case {
    EffectKind effect;
    double stopAt;
    bool noSources;
    size_t cut;
    int code;
  };
  for (const Case& c : {Case{VanGogh, 0.0, false, 0, kPaintStopped},
                        Case{Pointillism, 0.5, false, 0, kPaintStopped},
                        Case{PictureMosaic, 1.0, true, 0, kPaintRefused},
                        Case{BlackAndWhitePhoto, 1.0, false, 1, kPaintRefused}}) {
    LayerPixels layer = LayerOfInput(3);
    layer.bytes.resize(layer.bytes.size() - c.cut);
    const std::vector<uint8_t> before = layer.bytes;
    FilterValues values = Seeded(1);
    values.useLibrary = !c.noSources;
    FilterWindow window(nullptr, c.stopAt < 1.0 ? std::optional(c.stopAt) : std::nullopt);
    const FilterOutcome outcome = RunFilter(kEffectTable[c.effect], values, &layer, window);
    EXPECT_EQ(outcome.code, c.code) << c.effect;
    EXPECT_FALSE(outcome.message.empty()) << c.effect;
    EXPECT_EQ(layer.bytes, before) << c.effect;
  }
}

TEST(GimpFilter, ProgressComesFromTheStatusLines) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {"正在绘画 45%...      ", 0.45},
      {"正在绘画 100%...", 1.0},
      {"Matching image 3 of 4...", 0.75},
      {"Matching library 2 of 8, frame 15 of 30...", 0.25},
      {"Scanning Image...", std::nullopt},
      {"Matching image 5 of 4...", std::nullopt},
      {"%", std::nullopt}};
  for (const auto& [status, progress] : cases)
    EXPECT_EQ(ProgressOfStatus(status), progress) << status;
}

TEST(GimpFilter, RemembersItsValuesAndDistrustsDamagedOnes) {
  FilterValues values = Seeded(4294967295u);
  values.tilesAcross = 40;
  values.autoRows = false;
  values.libraryFolder = "/pictures/a=b";
  values.pictureList = {"/x/one.jpg", "/y/two.avi"};
  values.maxUses = 3;
  const FilterValues back = LoadFilterValues(SaveFilterValues(values));
  EXPECT_EQ(SaveFilterValues(back), SaveFilterValues(values));

  const FilterValues damaged = LoadFilterValues(
      "seed=12x\nrandom-seed=2\ntiles-down=-4\nmax-uses=-1\npicture=" + std::string(400, 'p') +
      "\ngarbage\n");
  EXPECT_TRUE(damaged.randomSeed);
  EXPECT_EQ(damaged.seed, 0u);
  EXPECT_EQ(damaged.tilesDown, -4);  // the mosaic's to judge
  EXPECT_EQ(damaged.maxUses, 0);
  EXPECT_TRUE(damaged.pictureList.empty());
  EXPECT_EQ(SplitPictureList("a\r\n\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(EffectOfProcedure("plug-in-quillane-charcoal-pencil"), &kEffectTable[CharcoalPencil]);
  EXPECT_EQ(EffectOfProcedure("plug-in-quillane-"), nullptr);
}

}  // namespace
