// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/timelapse_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "painting/render.h"
#include "support/fake_window.h"
#include "support/mosaic_makers.h"
#include "support/painting_pictures.h"
#include "support/test_support.h"

namespace {

struct Decoded {
  int width = 0;
  int height = 0;
  AVRational rate{0, 1};
  std::vector<std::vector<uint8_t>> frames;  // RGB, top-down
};

Decoded DecodeVideo(const std::string& path) {
  Decoded video;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return video;
  avformat_find_stream_info(format, nullptr);
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVStream* stream = format->streams[index];
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* codec = avcodec_alloc_context3(decoder);
  avcodec_parameters_to_context(codec, stream->codecpar);
  avcodec_open2(codec, decoder, nullptr);
  video.width = codec->width;
  video.height = codec->height;
  video.rate = stream->avg_frame_rate;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto receive = [&] {
    while (avcodec_receive_frame(codec, frame) == 0) {
      std::vector<uint8_t> rgb(static_cast<size_t>(video.width) * video.height * 3);
      SwsContext* scaler = sws_getContext(
          frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), video.width,
          video.height, AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
      uint8_t* rows[1] = {rgb.data()};
      const int strides[1] = {video.width * 3};
      sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, rows, strides);
      sws_freeContext(scaler);
      video.frames.push_back(std::move(rgb));
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) avcodec_send_packet(codec, packet);
    av_packet_unref(packet);
    receive();
  }
  avcodec_send_packet(codec, nullptr);
  receive();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return video;
}

std::vector<uint8_t> RgbOf(const DibHandle& dib) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < DibHeight(dib); ++y) {
    for (int x = 0; x < DibWidth(dib); ++x) {
      const ColorRef c = DibPixel(dib, x, y);
      rgb.insert(rgb.end(), {static_cast<uint8_t>(ColorRed(c)), static_cast<uint8_t>(ColorGreen(c)),
                             static_cast<uint8_t>(ColorBlue(c))});
    }
  }
  return rgb;
}

// The brightness PSNR, the measure of 4:2:0 video, whose colour has half the resolution; 99 when
// the pixels are the same.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0.0;
  if (a == b) return 99.0;
  double sum = 0.0;
  for (size_t i = 0; i + 2 < a.size(); i += 3) {
    const double d =
        0.299 * (a[i] - b[i]) + 0.587 * (a[i + 1] - b[i + 1]) + 0.114 * (a[i + 2] - b[i + 2]);
    sum += d * d;
  }
  return 10.0 * std::log10(255.0 * 255.0 * (a.size() / 3) / std::max(sum, 1e-9));
}

struct Recorded {
  RenderResult result;
  bool written = false;
  std::string problem;
};

Recorded PaintRecorded(const std::string& path, uint32_t seed, int threads,
                       std::shared_ptr<const DibHandle> start, RenderRequest request = {}) {
  request.startPicture = std::move(start);
  request.threads = threads;
  TimelapseOptions options;
  options.seconds = 2.0;
  Recorded recorded;
  TimelapseRecording recording;
  EXPECT_TRUE(recording.Prepare(path, options, &recorded.problem)) << recorded.problem;
  FakeWindow window;
  PaintContext paint = PaintContext::For(&window, seed);
  recording.Attach(paint);
  recorded.result = Render(request, paint, &window);
  recorded.written = recording.Finish(recorded.result, &recorded.problem);
  return recorded;
}

// Every format: 60 frames of painting and 45 of the finished picture, at 30 a second, the size
// of the painting; the first frame shows the start picture, the last the finished one, exactly
// where the format is lossless. The recording leaves the painting's pixels as they were.
TEST(Timelapse, EveryFormatShowsThePaintingFromStartToFinish) {
  ScratchFolder folder;
  const auto start = std::make_shared<const DibHandle>(MakePatternDib(200, 150, 2));
  FakeWindow plainWindow;
  RenderRequest plainRequest;
  plainRequest.startPicture = start;
  plainRequest.seed = 9;
  const RenderResult plain = Render(plainRequest, plainWindow);
  const struct {
    const char* name;
    double minPsnr;  // 99: exact; a GIF measures 30 to 36 dB
  } kCases[] = {{"t.mkv", 99.0}, {"t.mp4", 35.0}, {"t.webm", 35.0}, {"t.gif", 28.0}};
  for (const auto& c : kCases) {
    const Recorded run = PaintRecorded(folder.File(c.name), 9, 0, start);
    ASSERT_TRUE(run.written) << c.name << ": " << run.problem;
    EXPECT_TRUE(SamePixels(run.result.picture, plain.picture)) << c.name;
    const Decoded video = DecodeVideo(folder.File(c.name));
    EXPECT_EQ(video.width, 200) << c.name;
    EXPECT_EQ(video.height, 150) << c.name;
    EXPECT_EQ(av_cmp_q(video.rate, AVRational{30, 1}), 0) << c.name;
    ASSERT_EQ(video.frames.size(), 105u) << c.name;
    EXPECT_GE(Psnr(video.frames.front(), RgbOf(*start)), c.minPsnr) << c.name;
    EXPECT_GE(Psnr(video.frames.back(), RgbOf(plain.picture)), c.minPsnr) << c.name;
    EXPECT_LT(Psnr(video.frames[30], RgbOf(plain.picture)), 99.0) << c.name;
  }
}

// The frames follow the painting, not the clock or the threads.
TEST(Timelapse, TheSameSeedGivesTheSameFramesOnAnyNumberOfThreads) {
  ScratchFolder folder;
  const auto start = std::make_shared<const DibHandle>(MakePatternDib(240, 180, 1));
  ASSERT_TRUE(PaintRecorded(folder.File("one.mkv"), 4, 1, start).written);
  ASSERT_TRUE(PaintRecorded(folder.File("two.mkv"), 4, 2, start).written);
  const Decoded one = DecodeVideo(folder.File("one.mkv"));
  const Decoded two = DecodeVideo(folder.File("two.mkv"));
  ASSERT_EQ(one.frames.size(), 105u);
  EXPECT_TRUE(one.frames == two.frames);
}

// The mosaic gives a frame after each tile picture it has matched, and ends on its finished
// picture.
TEST(Timelapse, TheMosaicShowsEachTilePictureAsItIsMatched) {
  ScratchFolder folder;
  std::vector<std::string> tiles;
  for (int i = 0; i < 4; ++i) {
    tiles.push_back(folder.File("tile" + std::to_string(i) + ".bmp"));
    ASSERT_TRUE(WriteBmpFile(tiles.back(), NoisyPicture(16, 12, i + 1)));
  }
  MosaicSources sources;
  sources.UseList(tiles);
  RenderRequest request;
  request.effect = PictureMosaic;
  request.mosaic = sources.options;
  request.mosaic.tilesAcross = request.mosaic.tilesDown = 4;
  const auto start = std::make_shared<const DibHandle>(MakePatternDib(64, 48, 3));
  const Recorded run = PaintRecorded(folder.File("m.mkv"), 1, 0, start, request);
  ASSERT_TRUE(run.written) << run.problem;
  const Decoded video = DecodeVideo(folder.File("m.mkv"));
  ASSERT_EQ(video.frames.size(), 105u);
  std::vector<std::vector<uint8_t>> distinct = video.frames;
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  EXPECT_GT(distinct.size(), 2u);
  EXPECT_EQ(video.frames.front(), RgbOf(*start));
  EXPECT_EQ(video.frames.back(), RgbOf(run.result.picture));
}

// A missing format is refused before anything is painted, naming the ones there are; a failed
// painting leaves no file.
TEST(Timelapse, RefusesWhatItCannotWriteAndLeavesNothingBehind) {
  ScratchFolder folder;
  std::string problem;
  TimelapseRecording recording;
  EXPECT_FALSE(recording.Prepare(folder.File("t.avi"), {}, &problem));
  EXPECT_NE(problem.find(".mkv"), std::string::npos) << problem;
  EXPECT_FALSE(recording.Prepare(folder.Path(), {}, &problem));
  ASSERT_TRUE(recording.Prepare(folder.File("t.mkv"), {}, &problem));
  RenderResult failed;
  failed.code = kPaintFailed;
  EXPECT_FALSE(recording.Finish(failed, &problem));
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
