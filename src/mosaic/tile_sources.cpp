// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The order in which the mosaic meets its tile sources: the picture list first, then the
// picture library, each path as a video (every fifteenth frame) or as a picture, with a
// progress line after each.

#include "mosaic/tile_sources.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "base/language.h"
#include "base/paint_context.h"
#include "base/paths.h"
#include "mosaic/mosaic_internals.h"
#include "mosaic/mosaic_options.h"
#include "mosaic/tile_index.h"
#include "mosaic/tile_source_loader.h"

namespace {

// Library paths are built in buffers of this many bytes, their terminating NUL included.
constexpr size_t kLibraryPathSize = 300;

std::string LibraryFolder(const MosaicOptions& options) {
  std::string folder = options.libraryFolder;
  if (folder.empty()) return ExecutableFolder() + "/Picture Library/";
  if (folder.back() != '/') folder += '/';
  return folder;
}

// The folder's entries, its own "." and ".." first and the rest in byte order of their names,
// so that the same folder gives the same mosaic on every machine. Empty when it cannot be read.
std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  closedir(dir);
  auto rank = [](const std::string& name) { return name == "." ? 0 : name == ".." ? 1 : 2; };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    return std::strcmp(a.c_str(), b.c_str()) < 0;
  });
  return names;
}

void AddPictureList(const MosaicOptions& options, std::vector<TileSourcePath>* paths) {
  const int32_t total = static_cast<int32_t>(options.pictureList.size());
  for (int32_t i = 0; i < total; ++i) {
    paths->push_back({options.pictureList[static_cast<size_t>(i)], false, i + 1, total});
  }
}

// Adds the library's paths; `listed` receives the canonical folder and the canonical paths of
// its entries, of which the index may forget the rest.
void AddLibrary(const MosaicOptions& options, std::vector<TileSourcePath>* paths,
                std::pair<std::string, std::set<std::string>>* listed) {
  const std::string folder = LibraryFolder(options);
  const std::vector<std::string> names = ListFolder(folder);
  if (char* canonical = realpath(folder.c_str(), nullptr)) {
    listed->first = canonical;
    std::free(canonical);
    for (const std::string& name : names) listed->second.insert(listed->first + "/" + name);
  }
  // The numbering discounts the folder's own two entries.
  const int32_t total = static_cast<int32_t>(names.size()) - 2;
  for (size_t i = 0; i < names.size(); ++i) {
    if (folder.size() + names[i].size() >= kLibraryPathSize) continue;
    paths->push_back({folder + names[i], true, static_cast<int32_t>(i + 1) - 2, total});
  }
}

std::string ProgressText(const TileSourcePath& path, const LoadedTileSource& source) {
  char text[160];
  // A video's text names the frame that has just been matched (0, 15, 30, ...).
  if (source.videoFrame) {
    std::snprintf(text, sizeof text,
                  path.inLibrary ? Tr("Matching library %d of %d, frame %d of %d...")
                                 : Tr("Matching image %d of %d, frame %d of %d..."),
                  path.number, path.total, source.frame, source.frameCount);
  } else {
    std::snprintf(
        text, sizeof text,
        path.inLibrary ? Tr("Matching library %d of %d...") : Tr("Matching image %d of %d..."),
        path.number, path.total);
  }
  return text;
}

// Says once per run that the index is not used, and why, or that it had to be made anew.
void ReportIndexProblem(const TileIndex& index, const PaintContext& paint, const std::string& file,
                        bool* said) {
  if (*said || paint.owner == nullptr) return;
  if (!index.Problem().empty()) {
    paint.owner->ShowNotice(Tr("The picture index ") + file + Tr(" is not used: ") +
                            index.Problem());
  } else if (index.Rebuilt()) {
    paint.owner->ShowNotice(Tr("The picture index ") + file +
                            Tr(" was damaged and has been made anew."));
  } else {
    return;
  }
  *said = true;
}

}  // namespace

int32_t WalkTileSources(MosaicRun& run, PaintContext& paint, const MosaicOptions& options) {
  std::vector<TileSourcePath> paths;
  std::pair<std::string, std::set<std::string>> listed;
  if (options.useList) {
    AddPictureList(options, &paths);
    if (options.useLibrary) AddLibrary(options, &paths, &listed);
  } else {
    AddLibrary(options, &paths, &listed);
  }

  std::unique_ptr<TileIndex> index;
  bool problemSaid = false;
  if (!options.indexFile.empty()) {
    index = std::make_unique<TileIndex>(options.indexFile);
    ReportIndexProblem(*index, paint, options.indexFile, &problemSaid);
    if (!listed.first.empty()) index->ForgetMissing(listed.first, std::move(listed.second));
  }

  // A time-lapse counts the run's progress in paths, each an equal share, a video's share
  // divided among its frames.
  constexpr int64_t kPathShare = 1 << 16;
  const int64_t progressTotal = static_cast<int64_t>(paths.size()) * kPathShare;

  float tileWidth, tileHeight;
  int32_t hintWidth, hintHeight;
  CurrentTileSize(run, &tileWidth, &tileHeight);
  TileSourceSizeHint(run, &hintWidth, &hintHeight);
  // The loading threads ask the Stop button too, so that a video read waiting in the decoder
  // gives up rather than holding the run until it returns.
  TileSourceLoader loader(std::move(paths), tileWidth, tileHeight, hintWidth, hintHeight,
                          index.get(), [&paint] { return paint.PollStop() != 0; });
  loader.Start(options.lookahead, options.decoders);

  int result = 0;
  LoadedTileSource source;
  while (loader.Next(&source)) {
    result = MatchPreparedTile(run, &source.tile,
                               TileSourceNumber(run, loader.Path(source.pathIndex).path,
                                                source.videoFrame ? source.frame : -1));
    if (result != 0) break;
    ShowWorkingPicture(run);
    const int64_t share = source.videoFrame && source.frameCount > 0
                              ? std::min<int64_t>(source.frame + kFrameStep, source.frameCount) *
                                    kPathShare / source.frameCount
                              : kPathShare;
    RecordWorkingPicture(run, static_cast<int64_t>(source.pathIndex) * kPathShare + share,
                         progressTotal);
    paint.ShowStatus(ProgressText(loader.Path(source.pathIndex), source));
  }
  // Loading cut short by Stop ends the run as a Stop noticed while matching does.
  if (result == 0 && loader.Stopped()) result = 1;
  loader.Stop();
  if (index) {
    index->Flush();
    ReportIndexProblem(*index, paint, options.indexFile, &problemSaid);
  }
  return result;
}
