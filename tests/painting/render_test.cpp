// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/render.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "support/fake_window.h"
#include "support/mosaic_makers.h"
#include "support/painting_pictures.h"
#include "support/test_support.h"

namespace {

RenderRequest RequestOf(EffectKind effect, uint32_t seed, int variant) {
  RenderRequest request;
  request.effect = effect;
  request.startPicture = std::make_shared<const DibHandle>(MakePatternDib(200, 150, variant));
  request.seed = seed;
  return request;
}

// Paintings share no state: side by side on their own threads, each gives exactly the pixels
// it gives alone.
TEST(Render, PaintingsSideBySideGiveThePicturesTheyGiveAlone) {
  ScratchFolder folder;
  RenderRequest mosaic = RequestOf(PictureMosaic, 5, 3);
  mosaic.mosaic.useLibrary = false;
  for (int i = 0; i < 3; ++i) {
    mosaic.mosaic.pictureList.push_back(folder.File("tile" + std::to_string(i) + ".bmp"));
    ASSERT_TRUE(WriteBmpFile(
        mosaic.mosaic.pictureList.back(),
        QuarteredPicture(24, 18, MakeColor(40 * i, 200, 90), MakeColor(250, 30 * i, 10),
                         MakeColor(0, 0, 255), MakeColor(90, 90, 90 + 50 * i))));
  }
  const std::vector<RenderRequest> requests = {RequestOf(VanGogh, 3, 1),
                                               RequestOf(Pointillism, 4, 2), mosaic};
  std::vector<RenderResult> alone(requests.size());
  for (size_t i = 0; i < requests.size(); ++i) {
    FakeWindow window;
    alone[i] = Render(requests[i], window);
    ASSERT_EQ(alone[i].code, kPaintFinished) << i;
  }
  std::vector<RenderResult> together(requests.size());
  std::vector<FakeWindow> windows(requests.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < requests.size(); ++i) {
    threads.emplace_back([&, i] { together[i] = Render(requests[i], windows[i]); });
  }
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(together[i].code, kPaintFinished) << i;
    EXPECT_TRUE(SamePixels(together[i].picture, alone[i].picture)) << i;
    EXPECT_EQ(together[i].randomState, alone[i].randomState) << i;
  }
  EXPECT_FALSE(SamePixels(alone[0].picture, *requests[0].startPicture));
}

TEST(Render, RefusalsComeBackWithTheirReason) {
  ScratchFolder folder;
  RenderRequest missing;
  missing.startPath = folder.File("missing.png");
  RenderRequest tooLarge = RequestOf(VanGogh, 1, 0);
  tooLarge.width = 10001;
  tooLarge.height = 10000;
  RenderRequest noSources = RequestOf(PictureMosaic, 1, 0);
  noSources.mosaic.useList = false;
  noSources.mosaic.useLibrary = false;
  RenderRequest unknown = RequestOf(static_cast<EffectKind>(6), 1, 0);
  struct Case {
    const RenderRequest& request;
    const char* reason;
    size_t warnings;
  };
  const Case cases[] = {
      {missing, "The start picture does not exist. (", 0},
      {tooLarge,
       "The output size 10001 x 10000 cannot be painted. Width and height must each be from 1 to "
       "65535 pixels, and the picture at most 100,000,000 pixels in all.",
       0},
      {noSources, "You must select either the Picture Library, Picture List or both.", 1},
      {unknown, "unknown effect 6", 0},
  };
  for (const Case& c : cases) {
    FakeWindow window;
    const RenderResult result = Render(c.request, window);
    EXPECT_EQ(result.code, kPaintRefused) << c.reason;
    // A start picture that does not load is named.
    const std::string named = c.request.startPath.empty() ? "" : c.request.startPath + ")";
    EXPECT_EQ(result.reason, c.reason + named);
    EXPECT_FALSE(result.picture) << c.reason;
    EXPECT_EQ(window.warnings.size(), c.warnings) << c.reason;
  }
}

TEST(Render, OneSideGivenKeepsTheProportionsAndTheSeedContinues) {
  RenderRequest request = RequestOf(BlackAndWhitePhoto, 77, 0);
  request.width = 100;
  FakeWindow window;
  const RenderResult result = Render(request, window);
  ASSERT_EQ(result.code, kPaintFinished);
  EXPECT_EQ(DibWidth(result.picture), 100);
  EXPECT_EQ(DibHeight(result.picture), 75);
  // Black & White draws nothing from the generator.
  EXPECT_EQ(result.randomState, 77u);
}

}  // namespace
