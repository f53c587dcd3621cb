// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gimp/gimp_filter.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "base/paths.h"
#include "mosaic/tile_index.h"

std::string ProcedureName(const EffectEntry& effect) {
  return std::string(kProcedurePrefix) + effect.cliName;
}

const EffectEntry* EffectOfProcedure(const std::string& name) {
  for (const EffectEntry& effect : kEffectTable) {
    if (name == ProcedureName(effect)) return &effect;
  }
  return nullptr;
}

namespace {

template <typename Number>
bool ReadNumber(const std::string& text, Number* number) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  *number = value;
  return true;
}

bool ReadFlag(const std::string& text, bool* flag) {
  if (text != "0" && text != "1") return false;
  *flag = text == "1";
  return true;
}

}  // namespace

// One "key=value" line a value, and a "picture=" line for each file of the list: a saved text
// stays readable when values are added or the list grows.
std::string SaveFilterValues(const FilterValues& values) {
  std::ostringstream out;
  out << "random-seed=" << (values.randomSeed ? 1 : 0) << "\nseed=" << values.seed
      << "\ntiles-across=" << values.tilesAcross << "\ntiles-down=" << values.tilesDown
      << "\nauto-rows=" << (values.autoRows ? 1 : 0)
      << "\nuse-library=" << (values.useLibrary ? 1 : 0)
      << "\nlibrary-folder=" << values.libraryFolder << "\nmax-uses=" << values.maxUses
      << "\nmin-distance=" << values.minDistance << "\n";
  for (const std::string& picture : values.pictureList) out << "picture=" << picture << "\n";
  return out.str();
}

FilterValues LoadFilterValues(const std::string& saved) {
  FilterValues values;
  std::istringstream in(saved);
  for (std::string line; std::getline(in, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "random-seed")
      ReadFlag(value, &values.randomSeed);
    else if (key == "seed")
      ReadNumber(value, &values.seed);
    else if (key == "tiles-across")
      ReadNumber(value, &values.tilesAcross);
    else if (key == "tiles-down")
      ReadNumber(value, &values.tilesDown);
    else if (key == "auto-rows")
      ReadFlag(value, &values.autoRows);
    else if (key == "use-library")
      ReadFlag(value, &values.useLibrary);
    else if (key == "library-folder")
      values.libraryFolder = value;
    else if (key == "max-uses")
      ReadNumber(value, &values.maxUses);
    else if (key == "min-distance")
      ReadNumber(value, &values.minDistance);
    else if (key == "picture" && !value.empty())
      values.pictureList.push_back(value);
  }
  // What was saved by hand or damaged must not reach the painting out of range.
  if (!FilterValuesProblem(values).empty()) {
    const FilterValues defaults;
    values.maxUses = defaults.maxUses;
    values.minDistance = defaults.minDistance;
    values.pictureList.clear();
  }
  return values;
}

std::string FilterValuesProblem(const FilterValues& values) {
  // Tile counts are the mosaic's to judge, with the warning the program shows.
  if (values.maxUses < 0 || values.minDistance < 0) {
    return "Max uses and min distance must not be negative.";
  }
  for (const std::string& picture : values.pictureList) {
    if (picture.size() >= kPictureListEntrySize) {
      return "A file of the picture list has a name longer than " +
             std::to_string(kPictureListEntrySize - 1) + " characters: " + picture;
    }
  }
  return std::string();
}

std::string JoinPictureList(const std::vector<std::string>& pictures) {
  std::string text;
  for (const std::string& picture : pictures) text += picture + "\n";
  return text;
}

std::vector<std::string> SplitPictureList(const std::string& text) {
  std::vector<std::string> pictures;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) pictures.push_back(line);
  }
  return pictures;
}

// The stroke styles say "… 45%…" as they sweep; the mosaic counts its tile pictures
// ("Matching image 3 of 40...").
std::optional<double> ProgressOfStatus(const std::string& status) {
  const size_t percent = status.find('%');
  if (percent != std::string::npos) {
    size_t digits = percent;
    while (digits > 0 && status[digits - 1] >= '0' && status[digits - 1] <= '9') --digits;
    int value = 0;
    if (digits < percent && ReadNumber(status.substr(digits, percent - digits), &value)) {
      return std::min(value, 100) / 100.0;
    }
    return std::nullopt;
  }
  int number = 0;
  int total = 0;
  if (std::sscanf(status.c_str(), "Matching %*s %d of %d", &number, &total) == 2 && total > 0 &&
      number >= 0 && number <= total) {
    return static_cast<double>(number) / total;
  }
  return std::nullopt;
}

FilterWindow::FilterWindow(std::function<void(double)> progress, std::optional<double> stopAt)
    : progress_(std::move(progress)), stopAt_(stopAt) {}

void FilterWindow::ShowStatus(const std::string& text) {
  const std::optional<double> done = ProgressOfStatus(text);
  if (!done) return;
  // The stroke styles repeat their line for every sweep line; GIMP hears of changes only.
  if (progress_ && *done != lastProgress_) progress_(*done);
  lastProgress_ = *done;
  if (stopAt_ && *done >= *stopAt_) RequestStop();
}

void FilterWindow::ShowWarningBox(const std::string& text) {
  warnings_ += text + "\n";
}

void FilterWindow::ShowNotice(const std::string& text) {
  std::fprintf(stderr, "quillane-gimp: %s\n", text.c_str());
}

std::optional<double> StopAtFromEnvironment() {
  const char* text = std::getenv("QUILLANE_GIMP_STOP_AT");
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (*end != '\0' || !(value >= 0.0 && value <= 1.0)) return std::nullopt;
  return value;
}

namespace {

// The layer as the painting takes a start picture: 24 bits, bottom-up, blue-green-red.
DibHandle DibOfLayer(const LayerPixels& layer) {
  DibHandle dib = DibHandle::Create24(layer.width, layer.height);
  if (!dib) return dib;
  const int64_t rowBytes = DibRowBytes(layer.width, 24);
  const bool grey = layer.channels <= 2;
  for (int32_t y = 0; y < layer.height; ++y) {
    const uint8_t* in = layer.bytes.data() + static_cast<size_t>(y) * layer.width * layer.channels;
    uint8_t* out = dib.Pixels() + (layer.height - 1 - y) * rowBytes;
    for (int32_t x = 0; x < layer.width; ++x, in += layer.channels, out += 3) {
      out[0] = grey ? in[0] : in[2];
      out[1] = grey ? in[0] : in[1];
      out[2] = in[0];
    }
  }
  return dib;
}

// Puts a finished painting into the layer's colour channels, each alpha byte left in place.
bool PutPainting(const DibHandle& painted, LayerPixels* layer) {
  const BitmapInfoHeader* header = painted ? painted.Header() : nullptr;
  if (header == nullptr || painted.Size() < kDibHeaderSize || header->biBitCount != 24 ||
      header->biWidth != layer->width || std::abs(header->biHeight) != layer->height) {
    return false;
  }
  const int64_t rowBytes = DibRowBytes(layer->width, 24);
  if (static_cast<int64_t>(painted.Size()) < kDibHeaderSize + rowBytes * layer->height) {
    return false;
  }
  const bool bottomUp = header->biHeight > 0;
  const bool grey = layer->channels <= 2;
  for (int32_t y = 0; y < layer->height; ++y) {
    const uint8_t* in = painted.Pixels() + (bottomUp ? layer->height - 1 - y : y) * rowBytes;
    uint8_t* out = layer->bytes.data() + static_cast<size_t>(y) * layer->width * layer->channels;
    for (int32_t x = 0; x < layer->width; ++x, in += 3, out += layer->channels) {
      if (grey) {
        // The luma of ITU-R BT.601, rounded: the grey a colour painting turns into.
        out[0] = static_cast<uint8_t>((299 * in[2] + 587 * in[1] + 114 * in[0] + 500) / 1000);
      } else {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
  }
  return true;
}

}  // namespace

FilterOutcome RunFilter(const EffectEntry& effect, const FilterValues& values, LayerPixels* layer,
                        FilterWindow& window) {
  if (layer->channels < 1 || layer->channels > 4 ||
      layer->bytes.size() != static_cast<size_t>(layer->width) * layer->height * layer->channels) {
    return {kPaintRefused, "The layer's pixels could not be read."};
  }
  if (!WithinProgramLimits(layer->width, layer->height)) {
    return {kPaintRefused, "The layer is " + std::to_string(layer->width) + " x " +
                               std::to_string(layer->height) +
                               " pixels; Quillane paints pictures of up to " +
                               std::to_string(kMaxPicturePixels) + " pixels."};
  }
  if (std::string problem = FilterValuesProblem(values); !problem.empty()) {
    return {kPaintRefused, problem};
  }
  RenderRequest request;
  request.effect = effect.kind;
  request.startPicture = std::make_shared<const DibHandle>(DibOfLayer(*layer));
  if (!*request.startPicture) return {kPaintRefused, "Not enough memory for the layer."};
  request.width = layer->width;
  request.height = layer->height;
  if (!values.randomSeed) request.seed = values.seed;
  MosaicOptions& mosaic = request.mosaic;
  mosaic.tilesAcross = values.tilesAcross;
  mosaic.tilesDown = values.tilesDown;
  mosaic.autoSizeTilesDown = values.autoRows;
  mosaic.pictureList = values.pictureList;
  mosaic.useList = !values.pictureList.empty();
  mosaic.libraryFolder = values.libraryFolder;
  mosaic.useLibrary = values.useLibrary;
  mosaic.limits = TileLimits{values.maxUses, values.minDistance};
  mosaic.indexFile = DefaultTileIndexPath();

  RenderResult painted = Render(request, window);
  if (painted.code != kPaintFinished) {
    std::string message = window.Warnings();
    if (message.empty()) message = painted.reason;
    if (message.empty()) message = "The painting was stopped; the layer is unchanged.";
    return {painted.code, message};
  }
  if (!PutPainting(painted.picture, layer)) {
    return {kPaintStopped, "The painting did not come back at the layer's size."};
  }
  return {kPaintFinished, std::string()};
}
