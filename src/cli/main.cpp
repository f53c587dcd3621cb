// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quillane-cli: paints a picture file in one of the program's styles and writes the result.

#include <malloc.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "base/language.h"
#include "base/paths.h"
#include "base/processors.h"
#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/terminal_window.h"
#include "cli/write_signals.h"
#include "imaging/file_replacing.h"
#include "imaging/imaging.h"
#include "mosaic/tile_index.h"
#include "painting/painted_picture.h"
#include "painting/render.h"
#include "painting/timelapse_recording.h"

namespace {

constexpr int kExitFinished = 0;
constexpr int kExitStopped = 1;
constexpr int kExitRefused = 2;
constexpr int kExitUsage = 64;

// "x.png", not ".png": a name made of the ending alone is no name the formats know.
bool HasNameBeforeExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return path.find_last_of('.') != nameStart;
}

RenderRequest RequestFor(const CliOptions& options) {
  RenderRequest request;
  request.effect = static_cast<EffectKind>(options.effect);
  request.startPath = options.input;
  request.width = options.width;
  request.height = options.height;
  if (options.seedGiven) request.seed = options.seed;
  MosaicOptions& mosaic = request.mosaic;
  mosaic.tilesAcross = options.tilesAcross;
  mosaic.tilesDown = options.tilesDown;
  mosaic.autoSizeTilesDown = options.autoSizeTilesDown;
  mosaic.pictureList = options.pictures;
  mosaic.useList = options.useList;
  mosaic.libraryFolder = options.libraryFolder;
  mosaic.useLibrary = options.useLibrary;
  mosaic.limits = TileLimits{options.maxUses, options.minDistance};
  if (options.useIndex) {
    mosaic.indexFile = options.indexFile.empty() ? DefaultTileIndexPath() : options.indexFile;
  }
  return request;
}

TimelapseOptions TimelapseOptionsFor(const CliOptions& options) {
  TimelapseOptions timelapse;
  timelapse.seconds = options.timelapseSeconds;
  return timelapse;
}

// Paints the request in `window`, recording the time-lapse when one is given.
RenderResult RenderRecorded(const RenderRequest& request, FrontWindow& window,
                            TimelapseRecording* recording) {
  const uint32_t seed = request.seed ? *request.seed : static_cast<uint32_t>(std::time(nullptr));
  PaintContext paint = PaintContext::For(&window, seed);
  if (recording != nullptr) recording->Attach(paint);
  return Render(request, paint, &window);
}

// The time-lapse of a batch output: beside it, with the ending of --timelapse.
std::string TimelapseBeside(const std::string& output, const std::string& timelapse) {
  const size_t dot = output.find_last_of('.');
  return output.substr(0, dot) + timelapse.substr(std::min(timelapse.rfind('.'), timelapse.size()));
}

int Paint(const CliOptions& options) {
  if (!HasNameBeforeExtension(options.output)) {
    std::fprintf(stderr, Tr("quillane-cli: OUTPUT needs a name before its ending: '%s'\n"),
                 options.output.c_str());
    return kExitUsage;
  }
  if (SaveFormatForName(options.output) == SaveFormat::kNone) {
    std::fprintf(stderr, Tr("quillane-cli: OUTPUT must end in %s\n"), WrittenEndingsText().c_str());
    return kExitUsage;
  }
  // A name the file system cannot take would only fail after the painting.
  if (std::string problem; !CanWriteFileAt(options.output, &problem)) {
    std::fprintf(stderr, Tr("quillane-cli: cannot write OUTPUT: %s\n"), problem.c_str());
    return kExitUsage;
  }
  if (std::string problem;
      !options.tileReport.empty() && !CanWriteFileAt(options.tileReport, &problem)) {
    std::fprintf(stderr, Tr("quillane-cli: cannot write the tile report: %s\n"), problem.c_str());
    return kExitUsage;
  }
  if (options.input.size() >= kStartPictureSize) {
    std::fprintf(stderr, Tr("%s: the path is too long for a start picture\n"),
                 options.input.c_str());
    return kExitRefused;
  }

  TimelapseRecording recording;
  const bool recorded = !options.timelapse.empty();
  if (std::string problem;
      recorded && !recording.Prepare(options.timelapse, TimelapseOptionsFor(options), &problem)) {
    std::fprintf(stderr, "quillane-cli: cannot write the time-lapse: %s\n", problem.c_str());
    return kExitUsage;
  }

  TerminalWindow window(options.quiet);
  // The time-lapse is written while the painting goes on: an end by signal removes its part.
  if (recorded) InstallEndSignals();
  InstallStopOnInterrupt(&window);
  RenderRequest request = RequestFor(options);
  TileAssignment tiles;
  if (!options.tileReport.empty()) {
    request.mosaic.receiveTiles = [&tiles](const TileAssignment& drawn) { tiles = drawn; };
  }
  RenderResult painted = RenderRecorded(request, window, recorded ? &recording : nullptr);
  // From here on Ctrl-C no longer stops the painting but guards the writing of its file. One
  // that came after the last stroke stopped nothing: it is the first of the write.
  if (painted.picture) {
    InstallWriteSignals(painted.code == kPaintStopped && window.StopPressed());
    if (painted.code != kPaintStopped && window.StopPressed()) TakeInterruptDuringWrite();
  } else {
    RemoveStopOnInterrupt();
  }
  window.EndProgress();

  if (painted.code == kPaintRefused || painted.code == kPaintFailed) {
    // Refusals and failures of the painting have been shown as warnings; those of the start
    // picture (which name it) have not.
    if (window.WarningsShown() == 0) std::fprintf(stderr, "%s\n", painted.reason.c_str());
    return painted.code == kPaintRefused ? kExitRefused : kExitStopped;
  }
  if (!painted.picture) {
    if (!painted.reason.empty()) std::fprintf(stderr, "quillane-cli: %s\n", painted.reason.c_str());
    return kExitStopped;
  }
  std::string problem;
  if (recorded && !recording.Finish(painted, &problem)) {
    std::fprintf(stderr, "quillane-cli: cannot write the time-lapse: %s\n", problem.c_str());
    return kExitStopped;
  }
  if (SavePaintedPicture(options.output.c_str(), std::move(painted.picture), painted.width,
                         painted.height, &problem) != 1) {
    if (problem.empty()) problem = Tr("cannot write ") + options.output;
    std::fprintf(stderr, "quillane-cli: %s\n", problem.c_str());
    return kExitStopped;
  }
  // The report goes with the picture it describes, a stopped one too.
  if (!options.tileReport.empty() && !WriteTileReport(options.tileReport, tiles, &problem)) {
    std::fprintf(stderr, "quillane-cli: %s\n", problem.c_str());
    return kExitStopped;
  }
  RemoveWriteSignals();
  return painted.code == kPaintFinished ? kExitFinished : kExitStopped;
}

// One picture of a batch, on a thread of its own. Only a finished painting is written, and as
// every file of the program is: a batch killed while writing leaves no half-written output that
// the next run would skip as done, --overwrite keeps the old output until the new one is
// complete, and an output that is a symbolic link is written through to its target.
FileOutcome PaintBatchFile(const CliOptions& options, const std::string& input,
                           const std::string& output, FrontWindow& window) {
  if (input.size() >= kStartPictureSize) {
    return {kExitRefused, Tr("the path is too long for a start picture")};
  }
  RenderRequest request = RequestFor(options);
  request.startPath = input;
  // The jobs share the cores: a mosaic's decoders and a painting's threads get their part, not
  // all of them each.
  const int cores = UsableProcessors();
  const int jobs = std::clamp(options.jobs > 0 ? options.jobs : cores, 1, cores);
  request.mosaic.decoders = std::max(1, cores / jobs);
  request.threads = std::max(1, cores / jobs);
  TimelapseRecording recording;
  const bool recorded = !options.timelapse.empty();
  const std::string timelapse = recorded ? TimelapseBeside(output, options.timelapse) : "";
  std::string problem;
  // A time-lapse already there is no more the batch's to replace than an output is.
  std::error_code error;
  if (recorded && !options.overwrite &&
      std::filesystem::exists(std::filesystem::symlink_status(timelapse, error))) {
    return {kExitStopped, timelapse + " exists (--overwrite replaces it)"};
  }
  if (recorded && !recording.Prepare(timelapse, TimelapseOptionsFor(options), &problem)) {
    return {kExitStopped, problem};
  }
  RenderResult painted = RenderRecorded(request, window, recorded ? &recording : nullptr);
  if (painted.code == kPaintRefused) {
    // The batch's line names the file already.
    const std::string named = " (" + input + ")";
    std::string reason = painted.reason;
    if (reason.ends_with(named)) reason.erase(reason.size() - named.size());
    return {kExitRefused, reason};
  }
  // A painting that Ctrl-C caught just after its end is finished, and is written.
  if (painted.code != kPaintFinished || !painted.picture) {
    return {kExitStopped, window.StopPressed() ? Tr("stopped, nothing written") : painted.reason};
  }

  if (recorded && !recording.Finish(painted, &problem)) return {kExitStopped, problem};
  if (SavePaintedPicture(output.c_str(), std::move(painted.picture), painted.width, painted.height,
                         &problem) != 1) {
    return {kExitStopped, problem.empty() ? Tr("cannot write ") + output : problem};
  }
  return {kExitFinished, ""};
}

}  // namespace

int main(int argc, char** argv) {
  // A painting allocates and frees many small and middle-sized blocks in turn (tile pictures,
  // rows, strips). Kept in the heap instead of being handed back to the system each time, they
  // are reused without the cost of fresh pages. Picture-sized blocks are mapped on their own and
  // go back to the system as soon as they are freed: in the heap, a freed poster-size picture
  // would stay resident and the gaps between such blocks would add up to more than the
  // pictures alive at any one time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  // Past a file size limit a write then fails like on a full disk, and the half-written output
  // is removed, instead of the signal ending the program with the part left behind.
  signal(SIGXFSZ, SIG_IGN);
  CliOptions options;
  std::string problem;
  // The renderer never reads the desktop program's files, the remembered language among them.
  Language requested;
  if (!UseLanguage(ChosenLanguage(LanguageRequested(argc, argv, &requested) ? &requested : nullptr,
                                  Language::kOriginal),
                   CatalogueFolder(), &problem)) {
    std::fprintf(stderr, "quillane-cli: %s\n", problem.c_str());
  }
  switch (ParseCliOptions(argc, argv, &options, &problem)) {
    case CliCommand::kHelp:
      std::fputs(CliUsage().c_str(), stdout);
      return kExitFinished;
    case CliCommand::kVersion:
      std::printf(
          Tr("quillane-cli %s\n"
             "Copyright (C) The Quillane developers\n"
             "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
             "This is free software: you are free to change and redistribute it.\n"
             "There is NO WARRANTY, to the extent permitted by law.\n"),
          QUILLANE_VERSION);
      return kExitFinished;
    case CliCommand::kUsageError:
      std::fprintf(stderr, Tr("quillane-cli: %s\nTry 'quillane-cli --help'.\n"), problem.c_str());
      return kExitUsage;
    case CliCommand::kPaint:
      break;
  }
  if (!options.outputDir.empty()) {
    return RunBatch(options, [&options](const std::string& input, const std::string& output,
                                        FrontWindow& window) {
      return PaintBatchFile(options, input, output, window);
    });
  }
  return Paint(options);
}
