// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The GIMP filters' work apart from GIMP: the values a filter runs with and remembers, a layer's
// pixels in and out of a painting, and the window the painting reports to. The one file that
// speaks GIMP's API (gimp_plugin.cpp) only moves values and pixels between GIMP and these.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/front_window.h"
#include "painting/effect_table.h"
#include "painting/render.h"

// The menu in which the filters appear, and the prefix of their procedure names.
inline constexpr char kFilterMenu[] = "<Image>/Filters/Artistic/Quillane";
inline constexpr char kProcedurePrefix[] = "plug-in-quillane-";

// "plug-in-quillane-van-gogh" and so on: the procedure of an effect.
std::string ProcedureName(const EffectEntry& effect);
// The effect a procedure paints, or null for a name that is none of ours.
const EffectEntry* EffectOfProcedure(const std::string& name);

// What one run of a filter is asked for, as the dialog shows it and the procedure's parameters
// give it.
struct FilterValues {
  bool randomSeed = true;  // a new seed from the calendar time on every run
  uint32_t seed = 0;       // used when randomSeed is off
  // Picture mosaic.
  int32_t tilesAcross = 15;
  int32_t tilesDown = 15;
  bool autoRows = true;
  bool useLibrary = true;
  std::string libraryFolder;  // empty: the stock picture library
  std::vector<std::string> pictureList;
  int32_t maxUses = 0;      // 0: no limit
  int32_t minDistance = 0;  // 0: no limit
};

// The values as GIMP keeps them between runs, and back. Text kept by another version or damaged
// gives the defaults for what cannot be read; the rest is taken.
std::string SaveFilterValues(const FilterValues& values);
FilterValues LoadFilterValues(const std::string& saved);
// A reason when the values cannot be painted with; empty when they can.
std::string FilterValuesProblem(const FilterValues& values);
// The picture list as one text, a file a line, and back (empty lines dropped).
std::string JoinPictureList(const std::vector<std::string>& pictures);
std::vector<std::string> SplitPictureList(const std::string& text);

// A layer's pixels: rows top-down without padding, 1 (grey), 2 (grey, alpha), 3 (RGB) or 4
// (RGB, alpha) bytes a pixel.
struct LayerPixels {
  int32_t width = 0;
  int32_t height = 0;
  int channels = 3;
  std::vector<uint8_t> bytes;
};

// The painting's progress from 0 to 1 as its status line tells it, or none for a line that
// says nothing of it.
std::optional<double> ProgressOfStatus(const std::string& status);

// The window a filter paints in: progress and warnings go to the callbacks, and the GIMP side
// presses Stop. `stopAt` presses Stop itself once the progress reaches it (see
// StopAtFromEnvironment).
class FilterWindow : public FrontWindow {
 public:
  FilterWindow(std::function<void(double)> progress, std::optional<double> stopAt);
  void ShowStatus(const std::string& text) override;
  void ShowWarningBox(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  // The warnings shown, one a line.
  const std::string& Warnings() const { return warnings_; }

 private:
  std::function<void(double)> progress_;
  std::optional<double> stopAt_;
  double lastProgress_ = -1.0;
  std::string warnings_;
};

// GIMP offers no Cancel without a display. QUILLANE_GIMP_STOP_AT, a number from 0 to 1, presses
// Stop when the painting's progress reaches it, so that a script can try a stopped run.
std::optional<double> StopAtFromEnvironment();

struct FilterOutcome {
  int code = kPaintStopped;  // kPaintFinished: the layer holds the painting
  std::string message;       // why not, for the user
};

// Paints the layer with `effect` and, only when the painting finished, puts the painted pixels
// into it; alpha stays as it was and a grey layer takes the painting's grey. A stopped or
// refused painting leaves the layer as it was.
FilterOutcome RunFilter(const EffectEntry& effect, const FilterValues& values, LayerPixels* layer,
                        FilterWindow& window);
