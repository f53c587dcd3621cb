// SPDX-FileCopyrightText: The Quillane developers
#include "base/language.h"
// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/language.h"

#include "base/language.h"
#pragma once
#include "base/language.h"

#include "base/language.h"
// The effects, one row each: what the painting, the renderer, the memory check and the main
#include "base/language.h"
// window know of an effect. A new effect is a new row here, its radio button in the main
#include "base/language.h"
// window's layout and its painting.
#include "base/language.h"

#include <cstdint>
#include <iterator>
#include "base/language.h"

#include "base/language.h"
// The effects in the order of the main window's radio buttons (the Settings field `effect`).
#include "base/language.h"
enum EffectKind : int32_t {
#include "base/language.h"
  PictureMosaic = 0,
#include "base/language.h"
  VanGogh = 1,
#include "base/language.h"
  Pointillism = 2,
#include "base/language.h"
  ColoredPencil = 3,
#include "base/language.h"
  CharcoalPencil = 4,
#include "base/language.h"
  BlackAndWhitePhoto = 5,
#include "base/language.h"
};
#include "base/language.h"

#include "base/language.h"
constexpr int kNoPaintStyle = -1;  // the mosaic is not a stroke style
#include "base/language.h"

#include "base/language.h"
struct EffectEntry {
#include "base/language.h"
  EffectKind kind;
#include "base/language.h"
  const char* cliName;  // name on the command line, e.g. "van-gogh"
#include "base/language.h"
  const char* title;  // name shown to the user, e.g. "Van Gogh"
#include "base/language.h"
  int paintStyle;  // PaintStyle run by the painterly engine, or kNoPaintStyle
#include "base/language.h"
  // Pictures of the output size with the canvas margin that the painting holds at its peak
#include "base/language.h"
  // (the canvas, the reference picture, a colour copy); 0 when it paints in place.
#include "base/language.h"
  int framedPictures;
#include "base/language.h"
  int button;  // the main window's radio button (control id)
#include "base/language.h"
  const char* label;  // the radio button's text
#include "base/language.h"
  const char* help;  // the radio button's context help
#include "base/language.h"
};
#include "base/language.h"

#include "base/language.h"
// In the order of EffectKind. The two pencils run each other's engine number: Colored Pencil is
#include "base/language.h"
// style 3, Charcoal Pencil 2.
#include "base/language.h"
inline constexpr EffectEntry kEffectTable[] = {
#include "base/language.h"
    {PictureMosaic, "mosaic", "Picture Mosaic", kNoPaintStyle, 0, 1013, TrNoop("马赛克照片"),
#include "base/language.h"
     TrNoop(
         "The 'Picture Mosaic' effect will use all the pictures from the picture list and picture "
#include "base/language.h"
         "library to build the start picture out of all the others.  The more pictures in the "
#include "base/language.h"
         "picture list, the better the final image will look.  This effect has been used for the "
#include "base/language.h"
         "covers of famous magazines, movie posters, and popular art posters.  Hint: Try squinting "
#include "base/language.h"
         "your eyes when you look at the final image.")},
#include "base/language.h"
    {VanGogh, "van-gogh", "Van Gogh", 0, 2, 1014, TrNoop("梵高画"),
#include "base/language.h"
     TrNoop(
         "The 'Van Gogh' effect will repaint the start picture using a special algorithm designed "
#include "base/language.h"
         "to create a final picture that resembles artwork from the famed artist Vincent Van "
         "Gogh.")},
#include "base/language.h"
    {Pointillism, "pointillism", "Pointillism", 1, 2, 1018, TrNoop("点画法"),
#include "base/language.h"
     TrNoop("The 'Pointillism' effect will repaint the start picture using a special algorithm "
#include "base/language.h"
            "designed to mimic the pointillism artistic painting style.")},
#include "base/language.h"
    {ColoredPencil, "colored-pencil", "Colored Pencil", 3, 3, 1019, TrNoop("彩色铅笔"),
#include "base/language.h"
     TrNoop(
         "The 'Colored Pencil' effect will repaint the start picture using a special algorithm "
#include "base/language.h"
         "designed to mimic the look for having drawn the start picture using colored pencils on "
#include "base/language.h"
         "white paper.")},
#include "base/language.h"
    {CharcoalPencil, "charcoal-pencil", "Charcoal Pencil", 2, 3, 1020, TrNoop("碳笔画"),
#include "base/language.h"
     TrNoop("The 'Charcoal Pencil' effect will repaint the start picture using a special algorithm "
#include "base/language.h"
            "designed to mimic the look for having drawn the start picture on white paper using a "
#include "base/language.h"
            "charcoal pencil.")},
#include "base/language.h"
    {BlackAndWhitePhoto, "black-and-white", "Black & White Photo", 4, 0, 1021, TrNoop("黑白照片"),
#include "base/language.h"
     TrNoop("The 'Black & White Photo' effect will reprocess the start picture, removing all color "
#include "base/language.h"
            "from the start picture, resulting in the look of a black and white photo.")},
#include "base/language.h"
};
#include "base/language.h"

#include "base/language.h"
inline constexpr int kEffectCount = static_cast<int>(std::size(kEffectTable));
#include "base/language.h"

#include "base/language.h"
// The entry for an `effect` value, or null outside the table.
#include "base/language.h"
constexpr const EffectEntry* FindEffect(int32_t kind) {
#include "base/language.h"
  return kind >= 0 && kind < kEffectCount ? &kEffectTable[kind] : nullptr;
#include "base/language.h"
}
#include "base/language.h"
// The entry for a command-line name, or null.
#include "base/language.h"
const EffectEntry* FindEffectByName(const char* cliName);
#include "base/language.h"
