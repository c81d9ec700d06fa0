#pragma once
// The glyphs of the buttons and menu items: our own pixel art, shipped in
// the module as the text resource "GLYPHS" and turned into an image list.
#include <windows.h>
#include <commctrl.h>

#include <string_view>
#include <vector>

namespace kovra::win {

inline constexpr int kGlyphSize = 16;

// One glyph: kGlyphSize * kGlyphSize 0x00RRGGBB pixels, or ~0u for transparent.
struct Glyph {
  int Index = -1;
  std::vector<uint32_t> Pixels;
};

// Parses the art; malformed glyphs are skipped (the resource is ours, but a
// bad edit must not take the window down).
std::vector<Glyph> ParseGlyphArt(std::string_view text);

// The module's image list (indices as the art gives them, empty glyphs
// elsewhere), made on first use and kept until UnloadGlyphs.
HIMAGELIST GlyphImageList(HMODULE module);
// A bitmap of one glyph over the menu's background colour, for menu items.
HBITMAP GlyphMenuBitmap(HMODULE module, int index);
void UnloadGlyphs();

}  // namespace kovra::win
