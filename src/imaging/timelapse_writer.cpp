// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imaging/timelapse_writer.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
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
  AVPixelFormat pixels;   // what the encoder takes
  AVPixelFormat scaled;   // what the pictures are scaled to
  bool halfColour;        // 4:2:0: the sides must be even
};

// GIF pictures go through the palette filters, which take 32-bit RGB and give 8-bit palettes.
const VideoFormat kFormats[] = {
    {"mkv", "matroska", "ffv1", "FFV1", AV_PIX_FMT_BGR0, AV_PIX_FMT_BGR0, false},
    {"mp4", "mp4", "libx264", "H.264", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, true},
    {"webm", "webm", "libvpx-vp9", "VP9", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, true},
    {"gif", "gif", "gif", "GIF", AV_PIX_FMT_PAL8, AV_PIX_FMT_RGB32, false},
};

// One palette for the whole GIF, made from its first frame: the start picture, from which every
// style takes its colours. Palettes made anew for every frame look no better and change the
// colour numbers of every pixel from frame to frame, so the encoder can keep nothing of the
// frame before: the file grows about eighty times larger and takes three times as long. The
// palette filter's other modes give their palette only at the end of the stream, for which
// every frame would have to be kept until then. The palette is counted on every fourth pixel
// each way, which finds the same main colours at a sixteenth of the work, in filters of their
// own that are let go before the frames are mapped to it (both take much memory). Ordered
// dithering puts the same pattern on what has not changed, so only what was painted differs.
const char kPaletteMaking[] =
    "[in]scale=%d:%d:flags=neighbor,palettegen=stats_mode=single:reserve_transparent=0[out]";
const char kPaletteMapping[] = "[in][palette]paletteuse=dither=bayer:bayer_scale=3[out]";

// A filter graph with a source "in" (and "palette" where the filters name it) and a sink "out".
struct FilterChain {
  AVFilterGraph* graph = nullptr;
  AVFilterContext* in = nullptr;
  AVFilterContext* palette = nullptr;
  AVFilterContext* out = nullptr;

  ~FilterChain() { avfilter_graph_free(&graph); }

  // Frames of width x height in `pixels` at the rate go in; the palette source takes the
  // palette filter's 16 x 16 pictures.
  bool Open(const char* filters, int width, int height, AVPixelFormat pixels, int rate) {
    avfilter_graph_free(&graph);
    graph = avfilter_graph_alloc();
    if (graph == nullptr) return false;
    graph->nb_threads = 1;
    const bool paletteSource = std::strstr(filters, "[palette]") != nullptr;
    char frames[160], palettes[160];
    std::snprintf(frames, sizeof frames,
                  "video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=1/1", width, height,
                  static_cast<int>(pixels), rate);
    std::snprintf(palettes, sizeof palettes,
                  "video_size=16x16:pix_fmt=%d:time_base=1/%d:pixel_aspect=1/1",
                  static_cast<int>(AV_PIX_FMT_RGB32), rate);
    const AVFilter* buffer = avfilter_get_by_name("buffer");
    if (avfilter_graph_create_filter(&in, buffer, "in", frames, nullptr, graph) < 0 ||
        (paletteSource &&
         avfilter_graph_create_filter(&palette, buffer, "palette", palettes, nullptr, graph) < 0) ||
        avfilter_graph_create_filter(&out, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph) < 0) {
      return false;
    }
    AVFilterInOut* outputs =
        Link("in", in, paletteSource ? Link("palette", palette, nullptr) : nullptr);
    AVFilterInOut* inputs = Link("out", out, nullptr);
    const bool ok = outputs != nullptr && inputs != nullptr &&
                    avfilter_graph_parse_ptr(graph, filters, &inputs, &outputs, nullptr) >= 0 &&
                    avfilter_graph_config(graph, nullptr) >= 0;
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    return ok;
  }

  static AVFilterInOut* Link(const char* name, AVFilterContext* filter, AVFilterInOut* next) {
    AVFilterInOut* link = avfilter_inout_alloc();
    if (link == nullptr || (link->name = av_strdup(name)) == nullptr) {
      avfilter_inout_free(&link);
      avfilter_inout_free(&next);
      return nullptr;
    }
    link->filter_ctx = filter;
    link->next = next;
    return link;
  }
};

// Scaled frames waiting for the encoder take at most about this much memory (always room for
// one), and there are never more than kMaxQueued of them.
constexpr size_t kQueueBytes = size_t{24} << 20;
constexpr size_t kMaxQueued = 4;
// The encoders split each frame into slices on this many threads: slices hold no frames back,
// and the painting's own threads wait for the encoder at its end anyway.
constexpr int kEncoderThreads = 2;

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
  const bool palette = format.pixels != AV_PIX_FMT_PAL8 ||
                       (avfilter_get_by_name("palettegen") && avfilter_get_by_name("paletteuse"));
  return palette && avcodec_find_encoder_by_name(format.encoder) != nullptr &&
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
  AVFrame* frame = nullptr;  // scaled to the video's size and the encoder's pixels
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
  int framesPerSecond = 30;
  size_t maxBuffers = 1;

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Pending> queued;
  std::vector<AVFrame*> spare;
  size_t buffers = 0;  // made so far: queued, spare, or being scaled or encoded
  bool finishing = false;
  bool abandoned = false;
  bool failed = false;
  int64_t frames = 0;
  std::thread thread;
  bool written = false;
  std::string problem;

  // Used by the painting's thread only.
  SwsContext* scaler = nullptr;

  // Used by the writing thread only.
  AVCodecContext* codec = nullptr;
  AVFormatContext* container = nullptr;
  AVPacket* packet = nullptr;
  AVPacket* copy = nullptr;
  AVStream* stream = nullptr;
  FilterChain mapping;  // a GIF's frames to its palette
  AVFrame* paletted = nullptr;
  std::deque<int> graphCounts;  // of the frames in the graph, in order
  int64_t graphPts = 0;
  int64_t pts = 0;

  ~Work() {
    sws_freeContext(scaler);
    for (AVFrame* frame : spare) av_frame_free(&frame);
    for (Pending& pending : queued) av_frame_free(&pending.frame);
    av_frame_free(&paletted);
    av_packet_free(&packet);
    av_packet_free(&copy);
    avcodec_free_context(&codec);
    if (container != nullptr) {
      if (container->pb != nullptr) avio_closep(&container->pb);
      avformat_free_context(container);
    }
  }

  // Makes the GIF's palette from its first frame and opens the filters that map every frame to
  // it.
  bool OpenPalette(AVFrame* first) {
    char filters[160];
    std::snprintf(filters, sizeof filters, kPaletteMaking, std::max(1, videoWidth / 4),
                  std::max(1, videoHeight / 4));
    AVFrame* palette = av_frame_alloc();
    bool ok = palette != nullptr;
    {
      FilterChain making;
      ok = ok && making.Open(filters, videoWidth, videoHeight, format->scaled, framesPerSecond) &&
           av_buffersrc_add_frame_flags(making.in, first, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0 &&
           av_buffersrc_add_frame(making.in, nullptr) >= 0 &&
           av_buffersink_get_frame(making.out, palette) >= 0;
    }
    ok = ok &&
         mapping.Open(kPaletteMapping, videoWidth, videoHeight, format->scaled, framesPerSecond) &&
         av_buffersrc_add_frame(mapping.palette, palette) >= 0 &&
         av_buffersrc_add_frame(mapping.palette, nullptr) >= 0;
    av_frame_free(&palette);
    return ok;
  }

  bool OpenCodec() {
    // The encoders' own reports are no business of the user's; failures come back as values.
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* encoder = avcodec_find_encoder_by_name(format->encoder);
    if (encoder == nullptr) return false;
    codec = avcodec_alloc_context3(encoder);
    packet = av_packet_alloc();
    copy = av_packet_alloc();
    if (codec == nullptr || packet == nullptr || copy == nullptr) return false;
    codec->width = videoWidth;
    codec->height = videoHeight;
    codec->pix_fmt = format->pixels;
    codec->time_base = AVRational{1, framesPerSecond};
    codec->framerate = AVRational{framesPerSecond, 1};
    codec->sample_aspect_ratio = AVRational{1, 1};
    codec->thread_count = kEncoderThreads;
    codec->thread_type = FF_THREAD_SLICE;
    if (format->pixels == AV_PIX_FMT_YUV420P) {
      codec->colorspace = AVCOL_SPC_SMPTE170M;
      codec->color_range = AVCOL_RANGE_MPEG;
    }
    AVDictionary* options = nullptr;
    const std::string encoderName = format->encoder;
    if (encoderName == "libx264") {
      // No frames looked ahead or reordered: the encoder holds only the frame it refers to.
      av_dict_set(&options, "preset", "ultrafast", 0);
      av_dict_set(&options, "tune", "zerolatency", 0);
      av_dict_set(&options, "crf", "20", 0);
    } else if (encoderName == "libvpx-vp9") {
      av_dict_set(&options, "deadline", "realtime", 0);
      av_dict_set(&options, "cpu-used", "8", 0);
      av_dict_set(&options, "crf", "28", 0);
      av_dict_set(&options, "b", "0", 0);
      av_dict_set(&options, "lag-in-frames", "0", 0);
      av_dict_set(&options, "row-mt", "1", 0);
      av_dict_set(&options, "tile-columns", "1", 0);
    } else if (encoderName == "ffv1") {
      // Every frame stands alone, in slices coded side by side with the quick variable-length
      // code rather than the range coder.
      av_dict_set(&options, "level", "3", 0);
      av_dict_set(&options, "slices", "4", 0);
      av_dict_set(&options, "coder", "rice", 0);
      codec->gop_size = 1;
    }
    if (format->pixels == AV_PIX_FMT_PAL8 && (paletted = av_frame_alloc()) == nullptr) {
      av_dict_free(&options);
      return false;
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
    // Where the picture keeps its size, only the pixels' format changes, by the converter's
    // quick way. Scaling a large painting down takes most of a time-lapse's time: the quick
    // bilinear filter takes half as long as averaging every pixel, and its frames differ from a
    // careful reduction about as much as the H.264 coding changes them (38 against 42 dB).
    const bool sameSize = videoWidth == width && videoHeight == height;
    scaler =
        sws_getContext(width, height, AV_PIX_FMT_BGR24, videoWidth, videoHeight, format->scaled,
                       sameSize ? SWS_POINT : SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    return scaler != nullptr;
  }

  bool WritePacket(AVPacket* written) {
    av_packet_rescale_ts(written, codec->time_base, stream->time_base);
    written->stream_index = stream->index;
    return av_interleaved_write_frame(container, written) >= 0;
  }

  // Sends one frame (or, with null, the end) and writes what the encoder gives back.
  bool Encode(AVFrame* input) {
    if (avcodec_send_frame(codec, input) < 0) return false;
    for (;;) {
      const int received = avcodec_receive_packet(codec, packet);
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
      if (received < 0 || !WritePacket(packet)) return false;
    }
  }

  // `count` frames of the picture. FFV1 codes each frame alone, so a picture held for several
  // frames is coded once and its packet written again.
  bool EncodeRepeated(AVFrame* picture, int count) {
    if (codec->codec_id != AV_CODEC_ID_FFV1) {
      for (int i = 0; i < count; ++i) {
        picture->pts = pts++;
        if (!Encode(picture)) return false;
      }
      return true;
    }
    picture->pts = pts;
    if (avcodec_send_frame(codec, picture) < 0 || avcodec_receive_packet(codec, packet) < 0) {
      return false;
    }
    for (int i = 0; i < count; ++i) {
      if (av_packet_ref(copy, packet) < 0) return false;
      copy->pts = copy->dts = pts++;
      if (!WritePacket(copy)) return false;
    }
    av_packet_unref(packet);
    return true;
  }

  // Passes a picture (or, with null, the end) through the palette filters and encodes what
  // comes out of them.
  bool EncodePaletted(AVFrame* picture, int count) {
    if (picture != nullptr) {
      picture->pts = graphPts++;
      if (mapping.graph == nullptr && !OpenPalette(picture)) return false;
      graphCounts.push_back(count);
    } else if (mapping.graph == nullptr) {
      return true;
    }
    if (av_buffersrc_add_frame_flags(mapping.in, picture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
      return false;
    }
    for (;;) {
      const int received = av_buffersink_get_frame(mapping.out, paletted);
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
      if (received < 0 || graphCounts.empty()) return false;
      const int repeat = graphCounts.front();
      graphCounts.pop_front();
      const bool encoded = EncodeRepeated(paletted, repeat);
      av_frame_unref(paletted);
      if (!encoded) return false;
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
    for (;;) {
      Pending next;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return abandoned || finishing || !queued.empty(); });
        if (abandoned) return false;
        if (queued.empty()) break;
        next = queued.front();
        queued.pop_front();
      }
      const bool encoded = paletted != nullptr ? EncodePaletted(next.frame, next.count)
                                               : EncodeRepeated(next.frame, next.count);
      {
        std::lock_guard<std::mutex> lock(mutex);
        spare.push_back(next.frame);
      }
      changed.notify_all();
      if (!encoded) return Fail();
    }
    if (paletted != nullptr && !EncodePaletted(nullptr, 0)) return Fail();
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
  const int frameBytes =
      av_image_get_buffer_size(work->format->scaled, work->videoWidth, work->videoHeight, 1);
  work->maxBuffers =
      std::clamp<size_t>(kQueueBytes / static_cast<size_t>(std::max(frameBytes, 1)), 1, kMaxQueued);
  if (width <= 0 || height <= 0 || frameBytes <= 0 || !work->OpenCodec()) {
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
  AVFrame* frame = nullptr;
  {
    std::unique_lock<std::mutex> lock(w->mutex);
    w->changed.wait(lock, [&] {
      return w->failed || w->finishing || !w->spare.empty() || w->buffers < w->maxBuffers;
    });
    if (w->failed || w->finishing) return false;
    if (!w->spare.empty()) {
      frame = w->spare.back();
      w->spare.pop_back();
    } else {
      ++w->buffers;
    }
  }
  // The picture is scaled straight from the painting's rows (bottom-up in memory, hence the
  // negative stride) into the frame the encoder takes: one pass, no copy.
  bool scaled = frame != nullptr || (frame = av_frame_alloc()) != nullptr;
  if (scaled && frame->buf[0] == nullptr) {
    frame->format = w->format->scaled;
    frame->width = w->videoWidth;
    frame->height = w->videoHeight;
    scaled = av_frame_get_buffer(frame, 0) >= 0;
  }
  if (scaled) {
    const uint8_t* rows[1] = {bitmap.Row(area.top) + area.left * 3};
    const int strides[1] = {-bitmap.Stride()};
    scaled = av_frame_make_writable(frame) >= 0 &&
             sws_scale(w->scaler, rows, strides, 0, w->height, frame->data, frame->linesize) ==
                 w->videoHeight;
  }
  {
    std::lock_guard<std::mutex> lock(w->mutex);
    if (scaled) {
      w->queued.push_back(Pending{frame, count});
      w->frames += count;
    } else if (frame != nullptr) {
      w->spare.push_back(frame);
    } else {
      --w->buffers;
    }
  }
  w->changed.notify_all();
  return scaled;
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
