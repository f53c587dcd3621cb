// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/timelapse_writer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "base/language.h"
#include "imaging/file_replacing.h"
#include "imaging/imaging.h"

namespace {

// Texts the user may see.
const char kNoFormatText[] = TrNoop("a time-lapse file must end in .mkv, .mp4, .webm or .gif");
const char kNoEncoderFormat[] =
    TrNoop("this FFmpeg cannot write .%s time-lapses (it has no %s encoder); it can write: %s");
const char kNoneText[] = TrNoop("none");
const char kEncoderFailedText[] = TrNoop("the video encoder could not start");
const char kEncodingFailedText[] = TrNoop("the time-lapse could not be encoded");

struct VideoFormat {
  const char* ending;
  const char* muxer;
  const char* encoder;
  const char* codecName;  // for the user
  AVPixelFormat pixels;
  bool halfColour;  // 4:2:0: the sides must be even
};

const VideoFormat kFormats[] = {
    {"mkv", "matroska", "ffv1", "FFV1", AV_PIX_FMT_BGR0, false},
    {"mp4", "mp4", "libx264", "H.264", AV_PIX_FMT_YUV420P, true},
    {"webm", "webm", "libvpx-vp9", "VP9", AV_PIX_FMT_YUV420P, true},
    {"gif", "gif", "gif", "GIF", AV_PIX_FMT_BGR8, false},
};

// Frames waiting for the encoder take at most about this much memory (always room for one).
constexpr size_t kQueueBytes = size_t{40} << 20;
constexpr size_t kMaxQueued = 4;

const VideoFormat* FormatOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return nullptr;
  std::string ending = path.substr(dot + 1);
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const VideoFormat& format : kFormats) {
    if (ending == format.ending) return &format;
  }
  return nullptr;
}

bool HasEncoder(const VideoFormat& format) {
  return avcodec_find_encoder_by_name(format.encoder) != nullptr &&
         av_guess_format(format.muxer, nullptr, nullptr) != nullptr;
}

std::string AvailableEndings() {
  std::string list;
  for (const VideoFormat& format : kFormats) {
    if (!HasEncoder(format)) continue;
    list += (list.empty() ? "." : ", .") + std::string(format.ending);
  }
  return list.empty() ? Tr(kNoneText) : list;
}

struct Pending {
  std::vector<uint8_t> pixels;  // top-down, 3 bytes a pixel, no padding
  int count = 0;
};

}  // namespace

const char* TimelapseEndings() {
  return "mkv, mp4, webm, gif";
}

void TimelapseSize(const std::string& path, int width, int height, int maxSide, int* videoWidth,
                   int* videoHeight) {
  int w = std::max(width, 1);
  int h = std::max(height, 1);
  const int longest = std::max(w, h);
  if (maxSide > 0 && longest > maxSide) {
    w = std::max(1, static_cast<int>(int64_t{w} * maxSide / longest));
    h = std::max(1, static_cast<int>(int64_t{h} * maxSide / longest));
  }
  const VideoFormat* format = FormatOf(path);
  if (format != nullptr && format->halfColour) {
    w = std::max(2, w & ~1);
    h = std::max(2, h & ~1);
  }
  *videoWidth = w;
  *videoHeight = h;
}

bool CanWriteTimelapse(const std::string& path, std::string* problem) {
  const VideoFormat* format = FormatOf(path);
  if (format == nullptr) {
    *problem = Tr(kNoFormatText);
    return false;
  }
  if (!HasEncoder(*format)) {
    char text[512];
    std::snprintf(text, sizeof text, Tr(kNoEncoderFormat), format->ending, format->codecName,
                  AvailableEndings().c_str());
    *problem = text;
    return false;
  }
  return true;
}

struct TimelapseWriter::Work {
  const VideoFormat* format = nullptr;
  std::string path;
  int width = 0;  // of the pictures handed over
  int height = 0;
  int videoWidth = 0;
  int videoHeight = 0;
  size_t maxBuffers = 1;

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Pending> queued;
  std::vector<std::vector<uint8_t>> spare;
  size_t buffers = 0;  // made so far: queued, spare, or being scaled
  bool finishing = false;
  bool abandoned = false;
  bool failed = false;
  int64_t frames = 0;
  std::thread thread;
  bool written = false;
  std::string problem;

  AVCodecContext* codec = nullptr;
  AVFormatContext* container = nullptr;
  SwsContext* scaler = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  AVStream* stream = nullptr;

  ~Work() {
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    if (container != nullptr) {
      if (container->pb != nullptr) avio_closep(&container->pb);
      avformat_free_context(container);
    }
  }

  bool OpenCodec() {
    // The encoders' own reports are no business of the user's; failures come back as values.
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* encoder = avcodec_find_encoder_by_name(format->encoder);
    if (encoder == nullptr) return false;
    codec = avcodec_alloc_context3(encoder);
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (codec == nullptr || frame == nullptr || packet == nullptr) return false;
    codec->width = videoWidth;
    codec->height = videoHeight;
    codec->pix_fmt = format->pixels;
    codec->time_base = AVRational{1, framesPerSecond};
    codec->framerate = AVRational{framesPerSecond, 1};
    codec->sample_aspect_ratio = AVRational{1, 1};
    // One thread: the painting has the processors; the encoder keeps up in the gaps.
    codec->thread_count = 1;
    if (format->pixels == AV_PIX_FMT_YUV420P) {
      codec->colorspace = AVCOL_SPC_SMPTE170M;
      codec->color_range = AVCOL_RANGE_MPEG;
    }
    AVDictionary* options = nullptr;
    const std::string encoderName = format->encoder;
    if (encoderName == "libx264") {
      // Few frames looked ahead: the encoder's memory stays small at 1920 pixels.
      av_dict_set(&options, "preset", "veryfast", 0);
      av_dict_set(&options, "crf", "20", 0);
      av_dict_set(&options, "x264-params", "rc-lookahead=8", 0);
    } else if (encoderName == "libvpx-vp9") {
      av_dict_set(&options, "deadline", "realtime", 0);
      av_dict_set(&options, "cpu-used", "8", 0);
      av_dict_set(&options, "crf", "28", 0);
      av_dict_set(&options, "b", "0", 0);
      av_dict_set(&options, "lag-in-frames", "0", 0);
    } else if (encoderName == "ffv1") {
      av_dict_set(&options, "level", "3", 0);
      codec->gop_size = 1;
    }
    if (avformat_alloc_output_context2(&container, nullptr, format->muxer, nullptr) < 0) {
      av_dict_free(&options);
      return false;
    }
    if ((container->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
      codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    const int opened = avcodec_open2(codec, encoder, &options);
    av_dict_free(&options);
    if (opened < 0) return false;
    stream = avformat_new_stream(container, nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec) < 0) {
      return false;
    }
    stream->time_base = codec->time_base;
    stream->avg_frame_rate = codec->framerate;
    frame->format = format->pixels;
    frame->width = videoWidth;
    frame->height = videoHeight;
    if (av_frame_get_buffer(frame, 0) < 0) return false;
    scaler = sws_getContext(width, height, AV_PIX_FMT_BGR24, videoWidth, videoHeight,
                            format->pixels, SWS_AREA | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    return scaler != nullptr;
  }

  // Sends one frame (or, with null, the end) and writes what the encoder gives back.
  bool Encode(AVFrame* input) {
    if (avcodec_send_frame(codec, input) < 0) return false;
    for (;;) {
      const int received = avcodec_receive_packet(codec, packet);
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
      if (received < 0) return false;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(container, packet) < 0) return false;
    }
  }

  bool Write(const char* partial) {
    container->url = av_strdup(partial);
    if (container->url == nullptr || avio_open(&container->pb, partial, AVIO_FLAG_WRITE) < 0) {
      return Fail();
    }
    AVDictionary* options = nullptr;
    if (std::string(format->muxer) == "mp4") av_dict_set(&options, "movflags", "+faststart", 0);
    // Lossless frames are large: clusters of a few frames keep the muxer's buffer small.
    if (std::string(format->muxer) == "matroska") {
      av_dict_set(&options, "cluster_size_limit", "2097152", 0);
    }
    const int header = avformat_write_header(container, &options);
    av_dict_free(&options);
    if (header < 0) return Fail();
    int64_t pts = 0;
    for (;;) {
      Pending next;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return abandoned || finishing || !queued.empty(); });
        if (abandoned) return false;
        if (queued.empty()) break;
        next = std::move(queued.front());
        queued.pop_front();
      }
      const uint8_t* rows[1] = {next.pixels.data()};
      const int strides[1] = {width * 3};
      const bool scaled =
          av_frame_make_writable(frame) >= 0 &&
          sws_scale(scaler, rows, strides, 0, height, frame->data, frame->linesize) == videoHeight;
      {
        std::lock_guard<std::mutex> lock(mutex);
        spare.push_back(std::move(next.pixels));
      }
      changed.notify_all();
      if (!scaled) return Fail();
      for (int i = 0; i < next.count; ++i) {
        frame->pts = pts++;
        if (!Encode(frame)) return Fail();
      }
    }
    if (!Encode(nullptr) || av_write_trailer(container) < 0) return Fail();
    return avio_closep(&container->pb) >= 0 || Fail();
  }

  bool Fail() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      failed = true;
      if (problem.empty()) problem = Tr(kEncodingFailedText);
    }
    changed.notify_all();
    return false;
  }

  int framesPerSecond = 30;
};

TimelapseWriter::TimelapseWriter() = default;
TimelapseWriter::~TimelapseWriter() {
  Abandon();
}

bool TimelapseWriter::Start(const std::string& path, int width, int height,
                            const TimelapseSettings& settings, std::string* problem) {
  Abandon();
  if (!CanWriteTimelapse(path, problem) || !CanWriteFileAt(path, problem)) return false;
  auto work = std::make_unique<Work>();
  work->format = FormatOf(path);
  work->path = path;
  work->width = width;
  work->height = height;
  work->framesPerSecond = std::max(1, settings.framesPerSecond);
  TimelapseSize(path, width, height, settings.maxSide, &work->videoWidth, &work->videoHeight);
  const size_t frameBytes = static_cast<size_t>(width) * height * 3;
  work->maxBuffers =
      std::clamp<size_t>(kQueueBytes / std::max<size_t>(frameBytes, 1), 1, kMaxQueued);
  if (!work->OpenCodec()) {
    *problem = Tr(kEncoderFailedText);
    return false;
  }
  Work* w = work.get();
  w->thread = std::thread([w] {
    std::string why;
    w->written = ReplaceFileByWriting(
        w->path, [w](const char* partial) { return w->Write(partial); }, &why);
    std::lock_guard<std::mutex> lock(w->mutex);
    if (!w->written && w->problem.empty()) w->problem = why;
    w->failed = w->failed || !w->written;
  });
  work_ = std::move(work);
  return true;
}

bool TimelapseWriter::Add(const ImgBitmap& bitmap, const Rect& area, int count) {
  Work* w = work_.get();
  if (w == nullptr || count <= 0) return w != nullptr;
  if (area.Width() != w->width || area.Height() != w->height || area.left < 0 || area.top < 0 ||
      area.right > bitmap.width || area.bottom > bitmap.height || !bitmap.hasImage) {
    return false;
  }
  std::vector<uint8_t> pixels;
  {
    std::unique_lock<std::mutex> lock(w->mutex);
    w->changed.wait(lock, [&] {
      return w->failed || w->finishing || !w->spare.empty() || w->buffers < w->maxBuffers;
    });
    if (w->failed || w->finishing) return false;
    if (!w->spare.empty()) {
      pixels = std::move(w->spare.back());
      w->spare.pop_back();
    } else {
      ++w->buffers;
    }
  }
  const size_t rowBytes = static_cast<size_t>(w->width) * 3;
  pixels.resize(rowBytes * w->height);
  for (int y = 0; y < w->height; ++y) {
    std::memcpy(pixels.data() + y * rowBytes, bitmap.Row(area.top + y) + area.left * 3, rowBytes);
  }
  {
    std::lock_guard<std::mutex> lock(w->mutex);
    w->queued.push_back(Pending{std::move(pixels), count});
    w->frames += count;
  }
  w->changed.notify_all();
  return true;
}

int64_t TimelapseWriter::Frames() const {
  if (!work_) return 0;
  std::lock_guard<std::mutex> lock(work_->mutex);
  return work_->frames;
}

bool TimelapseWriter::Finish(std::string* problem) {
  Work* w = work_.get();
  if (w == nullptr) return false;
  {
    std::lock_guard<std::mutex> lock(w->mutex);
    w->finishing = true;
  }
  w->changed.notify_all();
  w->thread.join();
  const bool written = w->written;
  if (!written && problem != nullptr) *problem = w->problem;
  work_.reset();
  return written;
}

void TimelapseWriter::Abandon() {
  Work* w = work_.get();
  if (w == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(w->mutex);
    w->abandoned = true;
  }
  w->changed.notify_all();
  w->thread.join();
  work_.reset();
}
