// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// AVI video frames through FFmpeg. A video is decoded forward only: the program reads frames at
// increasing numbers, so each read continues where the last one stopped.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "imaging/imaging.h"
#include "imaging/resource_limits.h"
#include "imaging/video_open.h"

struct VideoDecoder {
  imaging_internal::VideoInput input;
  AVFormatContext* format = nullptr;  // input's
  AVCodecContext* codec = nullptr;
  SwsContext* scaler = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int stream = -1;
  int64_t nextFrame = 0;        // number of the next frame the decoder hands out
  bool inputDone = false;       // every packet has been sent (or the file cannot be read further)
  bool decoderDrained = false;  // the decoder has handed out its last frame

  ~VideoDecoder() {
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
  }
};

VidHandle::VidHandle() = default;
VidHandle::~VidHandle() = default;
VidHandle::VidHandle(VidHandle&&) noexcept = default;
VidHandle& VidHandle::operator=(VidHandle&&) noexcept = default;

namespace {

// Containers whose files the program takes as videos. FFmpeg also opens single pictures and
// sound files; those are not videos for the program (pictures go to the picture loader).
bool IsVideoContainer(const AVInputFormat* input) {
  static const char* const kContainers[] = {"avi",    "mov", "mp4", "matroska", "webm", "mpeg",
                                            "mpegts", "asf", "flv", "ogg",      "dv",   "nut"};
  const std::string names = input->name;
  size_t start = 0;
  while (start <= names.size()) {
    const size_t comma = std::min(names.find(',', start), names.size());
    const std::string name = names.substr(start, comma - start);
    for (const char* container : kContainers) {
      if (name == container) return true;
    }
    start = comma + 1;
  }
  return false;
}

// The leading bytes of the common picture formats: such files are not even offered to FFmpeg,
// which spares the mosaic a probe for every picture it loads.
bool StartsLikeAPicture(const imaging_internal::VideoInput& input) {
  unsigned char head[8] = {};
  if (input.Head(head, sizeof head) < 4) return false;
  return (head[0] == 0xFF && head[1] == 0xD8) || std::memcmp(head, "\x89PNG", 4) == 0 ||
         std::memcmp(head, "GIF8", 4) == 0 || std::memcmp(head, "II*", 4) == 0 ||
         std::memcmp(head, "MM\0*", 4) == 0 || (head[0] == 'B' && head[1] == 'M');
}

int64_t CountFrames(const AVFormatContext* format, const AVStream* stream) {
  if (stream->nb_frames > 0) return stream->nb_frames;
  AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0;
  double seconds = 0;
  if (stream->duration > 0 && stream->time_base.den > 0) {
    seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
  } else if (format->duration > 0) {
    seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
  }
  const double frames = seconds * av_q2d(rate);
  if (!(frames > 0) || frames > 1e9) return 0;
  return static_cast<int64_t>(frames + 0.5);
}

enum class Feed { kSent, kRefused, kEnded };

// Sends the next packet of the video stream to the decoder.
Feed FeedDecoder(VideoDecoder* d) {
  while (!d->inputDone) {
    if (av_read_frame(d->format, d->packet) < 0) {
      d->inputDone = true;
      avcodec_send_packet(d->codec, nullptr);  // lets the decoder hand out frames it holds back
      return Feed::kEnded;
    }
    if (d->packet->stream_index != d->stream) {
      av_packet_unref(d->packet);
      continue;
    }
    const int sent = avcodec_send_packet(d->codec, d->packet);
    av_packet_unref(d->packet);
    return sent < 0 && sent != AVERROR(EAGAIN) ? Feed::kRefused : Feed::kSent;
  }
  return Feed::kEnded;
}

// Decodes the next frame into d->frame. Returns 1 with a frame, 0 for a frame that could not be
// decoded (it still counts as a frame), -1 when the video has no more frames.
int DecodeNextFrame(VideoDecoder* d) {
  while (!d->decoderDrained) {
    const int received = avcodec_receive_frame(d->codec, d->frame);
    if (received == 0) return 1;
    if (received == AVERROR_EOF) {
      d->decoderDrained = true;
      break;
    }
    if (received != AVERROR(EAGAIN)) return 0;
    if (d->inputDone) {
      // Drained, yet the decoder asks for more: nothing further will come.
      d->decoderDrained = true;
      break;
    }
    if (FeedDecoder(d) == Feed::kRefused) return 0;
  }
  return -1;
}

bool ConvertFrame(VideoDecoder* d, ImgBitmap* bitmap) {
  const AVFrame* f = d->frame;
  if (!WithinPictureLimits(f->width, f->height)) return false;
  d->scaler = sws_getCachedContext(
      d->scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width, f->height,
      AV_PIX_FMT_BGR24, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  if (d->scaler == nullptr) return false;
  ImgBitmap result;
  if (!ImgFromDib(&result, DibHandle::Create24(f->width, f->height))) return false;
  // The bitmap is stored bottom-up: hand the scaler the top row and a negative stride.
  uint8_t* planes[4] = {result.Row(0), nullptr, nullptr, nullptr};
  int strides[4] = {-result.Stride(), 0, 0, 0};
  if (sws_scale(d->scaler, f->data, f->linesize, 0, f->height, planes, strides) != f->height) {
    return false;
  }
  *bitmap = std::move(result);
  return true;
}

bool Restart(VideoDecoder* d) {
  if (av_seek_frame(d->format, d->stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
      av_seek_frame(d->format, -1, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE) < 0) {
    return false;
  }
  avcodec_flush_buffers(d->codec);
  d->nextFrame = 0;
  d->inputDone = false;
  d->decoderDrained = false;
  return true;
}

}  // namespace

void VidInitHandle(VidHandle* video) {
  if (video == nullptr) return;
  video->decoder.reset();
  video->usableVideo = 0;
  video->frameCount = 0;
  video->width = 0;
  video->height = 0;
}

int VidOpen(const char* path, VidHandle* video, int) {
  if (path == nullptr || video == nullptr) return 0;
  VidInitHandle(video);
  av_log_set_level(AV_LOG_QUIET);
  auto d = std::make_unique<VideoDecoder>();
  if (!d->input.OpenFile(path) || StartsLikeAPicture(d->input)) return 0;
  if (!d->input.OpenContainer(path, video->stopCheck)) return 0;
  d->format = d->input.Format();
  if (d->format->iformat == nullptr || !IsVideoContainer(d->format->iformat)) return 0;
  if (avformat_find_stream_info(d->format, nullptr) < 0) return 0;

  // A file that opens but has no video the program can decode is still a video file: the caller
  // closes it and skips it.
  video->usableVideo = 0;
  const int stream = av_find_best_stream(d->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream < 0) {
    video->decoder = std::move(d);
    return 1;
  }
  const AVStream* s = d->format->streams[stream];
  const AVCodec* decoder = avcodec_find_decoder(s->codecpar->codec_id);
  d->codec = decoder != nullptr ? avcodec_alloc_context3(decoder) : nullptr;
  d->frame = av_frame_alloc();
  d->packet = av_packet_alloc();
  if (d->codec == nullptr || d->frame == nullptr || d->packet == nullptr ||
      avcodec_parameters_to_context(d->codec, s->codecpar) < 0 ||
      avcodec_open2(d->codec, decoder, nullptr) < 0 ||
      !WithinPictureLimits(s->codecpar->width, s->codecpar->height)) {
    // A frame beyond the picture limits would be refused after every decode: the stream is
    // skipped before any.
    video->decoder = std::move(d);
    return 1;
  }
  d->stream = stream;
  const int64_t frames = CountFrames(d->format, s);
  video->frameCount = static_cast<int32_t>(frames > INT32_MAX ? INT32_MAX : frames);
  video->width = s->codecpar->width;
  video->height = s->codecpar->height;
  video->usableVideo = video->frameCount > 0 ? 1 : 0;
  video->decoder = std::move(d);
  return 1;
}

int VidReadFrame(VidHandle* video, ImgBitmap* bitmap, int32_t index) {
  if (video == nullptr || bitmap == nullptr || index < 0 || !video->usableVideo) return 0;
  VideoDecoder* d = video->decoder.get();
  if (d == nullptr || d->codec == nullptr) return 0;
  if (index < d->nextFrame && !Restart(d)) return 0;
  while (d->nextFrame <= index) {
    const int64_t number = d->nextFrame;
    const int decoded = DecodeNextFrame(d);
    if (decoded < 0) return 0;
    ++d->nextFrame;
    if (number == index) return decoded == 1 && ConvertFrame(d, bitmap) ? 1 : 0;
  }
  return 0;
}

void VidClose(VidHandle* video) {
  VidInitHandle(video);
}
