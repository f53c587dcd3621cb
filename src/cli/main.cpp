// quillane-cli: paints a picture file in one of the program's styles and writes the result.

#include <malloc.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/settings.h"
#include "cli/cli_options.h"
#include "cli/terminal_window.h"
#include "cli/write_signals.h"
#include "imaging/file_replacing.h"
#include "imaging/imaging.h"
#include "imaging/resource_limits.h"
#include "mosaic/tile_sources.h"
#include "painting/front_window.h"
#include "painting/paint_driver.h"
#include "painting/random.h"

namespace {

constexpr int kExitFinished = 0;
constexpr int kExitStopped = 1;
constexpr int kExitRefused = 2;
constexpr int kExitUsage = 64;

bool HasKnownExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "bmp" || ext == "tif" ||
         ext == "tiff";
}

void ReportLoadProblem(const std::string& path, PictureProblem problem) {
  switch (problem) {
    case PictureProblem::kUnreadable:
      std::fprintf(stderr, "%s: the start picture cannot be read (permission denied)\n",
                   path.c_str());
      break;
    case PictureProblem::kTooLarge:
      std::fprintf(stderr, "%s: the picture is too large; %s\n", path.c_str(),
                   DescribePictureLimits().c_str());
      break;
    default:
      std::fprintf(stderr, "File is format not recognized. (%s)\n", path.c_str());
      break;
  }
}

// "x.png", not ".png": a name made of the ending alone is no name the formats know.
bool HasNameBeforeExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return path.find_last_of('.') > nameStart;
}

// The size boxes' rounding: the larger of v and v + 0.5, both truncated.
int32_t RoundPixels(double v) {
  if (v >= 2147483647.0) return 2147483647;  // refused later as too large a picture
  return std::max(static_cast<int32_t>(v), static_cast<int32_t>(v + 0.5));
}

// One dimension given alone: the other follows as the locked size boxes of the main window
// work it out, through a single-precision percentage.
int32_t ProportionalSide(int32_t given, int32_t givenSource, int32_t otherSource) {
  const float percent = givenSource == 0
                            ? 100.0f
                            : static_cast<float>(static_cast<double>(given) / givenSource * 100.0);
  const int32_t side = RoundPixels(static_cast<double>(percent) * double{0.01f} * otherSource);
  return std::max(side, 1);
}

// The settings the main window would hand over, built from the options alone: the command
// line never reads or writes the settings file.
void FillSettings(const CliOptions& options, std::vector<PictureListEntry>* list) {
  std::memset(&settings, 0, sizeof settings);
  settings.effect = options.effect;
  std::snprintf(settings.startPicture, sizeof settings.startPicture, "%s", options.input.c_str());
  settings.lockAspectRatio = 1;
  settings.widthPercent = 100.0f;
  settings.heightPercent = 100.0f;
  settings.useYourPictureList = options.useList ? 1 : 0;
  settings.usePictureLibrary = options.useLibrary ? 1 : 0;
  settings.tilesAcross = options.tilesAcross;
  settings.tilesDown = options.tilesDown;
  settings.autoSizeTilesDown = options.autoSizeTilesDown ? 1 : 0;
  list->assign(options.pictures.size(), PictureListEntry{});
  for (size_t i = 0; i < options.pictures.size(); ++i) {
    std::snprintf((*list)[i].path, sizeof(*list)[i].path, "%s", options.pictures[i].c_str());
  }
  settings.pictureList = list->empty() ? nullptr : list->data();
  settings.pictureListLength = static_cast<int32_t>(list->size() * kPictureListEntrySize);
  if (!options.libraryFolder.empty()) {
    pictureLibraryFolder = options.libraryFolder;
    if (pictureLibraryFolder.back() != '/') pictureLibraryFolder += '/';
  }
}

int Paint(const CliOptions& options) {
  if (!HasKnownExtension(options.output)) {
    std::fprintf(stderr,
                 "quillane-cli: OUTPUT must end in .png, .jpg, .jpeg, .bmp, .tif or .tiff\n");
    return kExitUsage;
  }
  // A name the file system cannot take would only fail after the painting.
  std::string outputProblem;
  if (!HasNameBeforeExtension(options.output)) {
    outputProblem = "OUTPUT needs a name before its ending: '" + options.output + "'";
  }
  if (outputProblem.empty() && !CanWriteFileAt(options.output, &outputProblem)) {
    outputProblem = "cannot write OUTPUT: " + outputProblem;
  }
  if (!outputProblem.empty()) {
    std::fprintf(stderr, "quillane-cli: %s\n", outputProblem.c_str());
    return kExitUsage;
  }
  if (options.input.size() >= kStartPictureSize) {
    std::fprintf(stderr, "%s: the path is too long for a start picture\n", options.input.c_str());
    return kExitRefused;
  }
  // The start picture as the output window prepares it: 24 bits at the output size.
  ImgBitmap picture;
  ImgInitHandle(&picture, 0, 0, 0);
  PictureProblem problem = PictureProblem::kNone;
  if (ImgLoadPictureFile(options.input.c_str(), &picture, &problem) != 1) {
    ReportLoadProblem(options.input, problem);
    return kExitRefused;
  }
  ImgSetColorDepth(&picture, &picture, 24, 0);
  int32_t width = picture.width;
  int32_t height = picture.height;
  if (options.width > 0 && options.height > 0) {
    width = options.width;
    height = options.height;
  } else if (options.width > 0) {
    width = options.width;
    height = ProportionalSide(options.width, picture.width, picture.height);
  } else if (options.height > 0) {
    height = options.height;
    width = ProportionalSide(options.height, picture.height, picture.width);
  }
  if (!WithinPictureLimits(width, height)) {
    std::fprintf(stderr, "quillane-cli: a picture of %d x %d pixels is too large; %s\n", width,
                 height, DescribePictureLimits().c_str());
    ImgFree(&picture);
    return kExitRefused;
  }
  if (width != picture.width || height != picture.height) {
    if (ImgResize(&picture, width, height, 2) != 1) {
      std::fprintf(stderr, "quillane-cli: cannot make a picture of %d x %d pixels\n", width,
                   height);
      ImgFree(&picture);
      return kExitStopped;
    }
  }
  DibHandle dib = ImgToDib(&picture);
  if (!dib) {
    std::fprintf(stderr, "quillane-cli: out of memory\n");
    return kExitStopped;
  }

  std::vector<PictureListEntry> list;
  FillSettings(options, &list);
  settings.outputWidth = width;
  settings.outputHeight = height;
  settings.sourceWidth = width;
  settings.sourceHeight = height;
  if (options.seedGiven) {
    SeedRandom(options.seed);
    randomSeeded = 1;
  }

  TerminalWindow window(width, height, options.quiet);
  messageOwner = &window;
  mainWindowHandle = &window;
  InstallStopOnInterrupt(&window);
  const int result = PaintDriver(&window, &window, &dib, dib.Header(), dib.Pixels());
  // From here on Ctrl-C no longer stops the painting but guards the writing of its file.
  // A Ctrl-C that came after the last stroke stopped nothing: it is the first of the write.
  InstallWriteSignals(result == 1 && window.StopPressed());
  if (result != 1 && window.StopPressed()) TakeInterruptDuringWrite();
  window.EndProgress();
  messageOwner = nullptr;
  mainWindowHandle = nullptr;

  if (result == 2) return kExitRefused;
  if (dib) {
    ImgBitmap painted;
    if (ImgFromDib(&painted, std::move(dib)) != 1 ||
        ImgSaveFile(options.output.c_str(), painted) != 1) {
      std::fprintf(stderr, "quillane-cli: cannot write %s\n", options.output.c_str());
      if (painted.hasImage) ImgFree(&painted);
      RemoveWriteSignals();
      return kExitStopped;
    }
    ImgFree(&painted);
  }
  RemoveWriteSignals();
  return result == 0 ? kExitFinished : kExitStopped;
}

}  // namespace

int main(int argc, char** argv) {
  // A painting allocates and frees several picture-sized blocks in turn. Kept in the heap
  // instead of being handed back to the system each time, they are reused without the cost of
  // fresh pages.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  // Past a file size limit a write then fails like on a full disk, and the half-written output
  // is removed, instead of the signal ending the program with the part left behind.
  signal(SIGXFSZ, SIG_IGN);
  CliOptions options;
  std::string problem;
  switch (ParseCliOptions(argc, argv, &options, &problem)) {
    case CliCommand::kHelp:
      std::fputs(kCliUsage, stdout);
      return kExitFinished;
    case CliCommand::kVersion:
      std::printf("quillane-cli %s\n", QUILLANE_VERSION);
      return kExitFinished;
    case CliCommand::kUsageError:
      std::fprintf(stderr, "quillane-cli: %s\nTry 'quillane-cli --help'.\n", problem.c_str());
      return kExitUsage;
    case CliCommand::kPaint:
      break;
  }
  return Paint(options);
}
