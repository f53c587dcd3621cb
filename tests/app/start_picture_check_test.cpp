// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The start picture is checked by opening it before every painting. A named pipe opens only
// when something writes into it; the check must not wait for that.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "app/settings.h"
#include "imaging/dib.h"
#include "app/paint_driver.h"
#include "support/fake_window.h"
#include "support/test_support.h"

namespace {

class StartPictureCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&settings, 0, sizeof settings);
    settings.effect = 5;  // Black & White Photo: the shortest painting
    dib_ = DibHandle::Create24(8, 6);
    ASSERT_TRUE(dib_);
  }
  void TearDown() override { std::memset(&settings, 0, sizeof settings); }

  int Paint(const std::string& startPicture) {
    std::snprintf(settings.startPicture, sizeof settings.startPicture, "%s", startPicture.c_str());
    FakeWindow window(40, 30);
    FrontWindowScope scope(&window);
    // A check that waits for a writer would hang the test run; end it with a clear signal.
    alarm(60);
    const int result = PaintDriver(&window, &window, &dib_, dib_.Header(), dib_.Pixels());
    alarm(0);
    warnings_ = window.warnings;
    return result;
  }

  ScratchFolder dir_;
  DibHandle dib_;
  std::vector<std::string> warnings_;
};

TEST_F(StartPictureCheck, NamedPipeDoesNotHoldUpThePainting) {
  const std::string pipe = dir_.File("photo.jpg");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(Paint(pipe), kPaintFinished);
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(StartPictureCheck, MissingFileIsStillRefused) {
  EXPECT_EQ(Paint(dir_.File("gone.jpg")), kPaintRefused);
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_EQ(warnings_[0], "No 'Start Picture' specified.");
}

}  // namespace
