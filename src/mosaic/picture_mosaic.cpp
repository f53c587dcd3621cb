// Placeholder until the mosaic lands: refuses every run.
#include "mosaic/picture_mosaic.h"

#include <string>

#include "effects/effect_engine.h"
#include "mosaic/tile_sources.h"

std::string pictureLibraryFolder;

int RunPictureMosaic(FrontWindow*, DibHandle*, BitmapInfoHeader**, uint8_t**, int, int, int, int,
                     float, float, int, int) {
  ShowPaintStatus("Mosaic canceled.");
  return 1;
}
