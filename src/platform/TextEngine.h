#pragma once
// Text through the toolkit's font engine (fontconfig and FreeType underneath):
// fonts resolved by family name and pixel size, glyphs drawn without anti-aliasing
// so that a text pixel is either the text colour or untouched. Rendered texts are
// kept as coverage masks, so a label drawn again costs only a copy.
//
// Needs a toolkit GUI application object; without one every text measures 0 and
// draws nothing.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Raster.h"

namespace quarvel {

struct TextMask {
  int advance = 0;  // the text cell's width
  int height = 0;   // the text cell's height (ascent + descent)
  int ascent = 0;
  int originX = 0;  // the cell's left edge within the mask (glyphs may overhang it)
  int maskWidth = 0;
  std::vector<uint8_t> coverage;  // maskWidth x height, 1 where a glyph pixel is set
  // Per row, the columns from rowFirst to rowEnd - 1 hold all of its set pixels (both
  // 0 for an empty row); empty vectors when not computed.
  std::vector<int> rowFirst, rowEnd;
};

// True when a font engine is available (a toolkit GUI application exists).
bool TextEngineAvailable();

// The cell size of `text` in `font`.
TSize MeasureText(const FontFace& font, std::string_view text);
// The font's ascent, descent and cell height.
struct FontCell {
  int ascent = 0;
  int descent = 0;
  int height = 0;
};
FontCell FontCellOf(const FontFace& font);

// The rendered text; the reference stays valid until the next call.
const TextMask& RenderText(const FontFace& font, std::string_view text);

}  // namespace quarvel
