// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The effects, one row each: what the painting, the renderer, the memory check and the main
// window know of an effect. A new effect is a new row here, its radio button in the main
// window's layout and its painting.

#include <cstdint>
#include <iterator>

#include "base/language.h"

// The effects in the order of the main window's radio buttons (the Settings field `effect`).
enum EffectKind : int32_t {
  PictureMosaic = 0,
  VanGogh = 1,
  Pointillism = 2,
  ColoredPencil = 3,
  CharcoalPencil = 4,
  BlackAndWhitePhoto = 5,
};

constexpr int kNoPaintStyle = -1;  // the mosaic is not a stroke style

struct EffectEntry {
  EffectKind kind;
  const char* cliName;  // name on the command line, e.g. "van-gogh"
  const char* title;  // name shown to the user, e.g. "Van Gogh"
  int paintStyle;  // PaintStyle run by the painterly engine, or kNoPaintStyle
  // Pictures of the output size with the canvas margin that the painting holds at its peak
  // (the canvas, the reference picture, a colour copy); 0 when it paints in place.
  int framedPictures;
  int button;  // the main window's radio button (control id)
  const char* label;  // the radio button's text
  const char* help;  // the radio button's context help
};

// In the order of EffectKind. The two pencils run each other's engine number: Colored Pencil is
// style 3, Charcoal Pencil 2.
inline constexpr EffectEntry kEffectTable[] = {
    {PictureMosaic, "mosaic", "Picture Mosaic", kNoPaintStyle, 0, 1013, TrNoop("马赛克照片"),
     TrNoop(
         "The 'Picture Mosaic' effect will use all the pictures from the picture list and picture "
         "library to build the start picture out of all the others.  The more pictures in the "
         "picture list, the better the final image will look.  This effect has been used for the "
         "covers of famous magazines, movie posters, and popular art posters.  Hint: Try squinting "
         "your eyes when you look at the final image.")},
    {VanGogh, "van-gogh", "Van Gogh", 0, 2, 1014, TrNoop("梵高画"),
     TrNoop(
         "The 'Van Gogh' effect will repaint the start picture using a special algorithm designed "
         "to create a final picture that resembles artwork from the famed artist Vincent Van "
         "Gogh.")},
    {Pointillism, "pointillism", "Pointillism", 1, 2, 1018, TrNoop("点画法"),
     TrNoop("The 'Pointillism' effect will repaint the start picture using a special algorithm "
            "designed to mimic the pointillism artistic painting style.")},
    {ColoredPencil, "colored-pencil", "Colored Pencil", 3, 3, 1019, TrNoop("彩色铅笔"),
     TrNoop(
         "The 'Colored Pencil' effect will repaint the start picture using a special algorithm "
         "designed to mimic the look for having drawn the start picture using colored pencils on "
         "white paper.")},
    {CharcoalPencil, "charcoal-pencil", "Charcoal Pencil", 2, 3, 1020, TrNoop("碳笔画"),
     TrNoop("The 'Charcoal Pencil' effect will repaint the start picture using a special algorithm "
            "designed to mimic the look for having drawn the start picture on white paper using a "
            "charcoal pencil.")},
    {BlackAndWhitePhoto, "black-and-white", "Black & White Photo", 4, 0, 1021, TrNoop("黑白照片"),
     TrNoop("The 'Black & White Photo' effect will reprocess the start picture, removing all color "
            "from the start picture, resulting in the look of a black and white photo.")},
};

inline constexpr int kEffectCount = static_cast<int>(std::size(kEffectTable));

// The entry for an `effect` value, or null outside the table.
constexpr const EffectEntry* FindEffect(int32_t kind) {
  return kind >= 0 && kind < kEffectCount ? &kEffectTable[kind] : nullptr;
}
// The entry for a command-line name, or null.
const EffectEntry* FindEffectByName(const char* cliName);
