#include "Glyphs.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

namespace kovra::win {
namespace {

constexpr uint32_t kTransparent = ~0u;
HIMAGELIST gList = nullptr;
std::map<int, HBITMAP> gMenuBitmaps;
std::vector<Glyph> gGlyphs;
bool gLoaded = false;

uint32_t ColourOf(char c) {
  switch (c) {
    case 'K': return 0x000000;
    case 'D': return 0x606060;
    case 'L': return 0xC0C0C0;
    case 'W': return 0xFFFFFF;
    case 'R': return 0xD02020;
    case 'G': return 0x20A020;
    case 'B': return 0x2050D0;
    case 'N': return 0x000080;
    case 'Y': return 0xF0D040;
    case 'O': return 0xF08020;
    case 'C': return 0x40C0E0;
    default: return kTransparent;
  }
}

void LoadArt(HMODULE module) {
  if (gLoaded) return;
  gLoaded = true;
  HRSRC res = FindResourceW(module, L"GLYPHS", reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!res) return;
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, res)));
  if (!data) return;
  gGlyphs = ParseGlyphArt(std::string_view(data, SizeofResource(module, res)));
}

}  // namespace

std::vector<Glyph> ParseGlyphArt(std::string_view text) {
  std::vector<Glyph> out;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] != '#') lines.push_back(line);
    start = end + 1;
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty() || !std::isdigit(static_cast<unsigned char>(lines[i][0]))) continue;
    Glyph g;
    g.Index = std::atoi(lines[i].c_str());
    bool ok = i + kGlyphSize < lines.size();
    for (int y = 0; ok && y < kGlyphSize; ++y) {
      const std::string& row = lines[i + 1 + y];
      if (row.size() != kGlyphSize) {
        ok = false;
        break;
      }
      for (char c : row) g.Pixels.push_back(ColourOf(c));
    }
    if (ok && g.Index >= 0 && g.Index < 256) {
      out.push_back(std::move(g));
      i += kGlyphSize;
    }
  }
  return out;
}

HIMAGELIST GlyphImageList(HMODULE module) {
  if (gList) return gList;
  LoadArt(module);
  int count = 0;
  for (const Glyph& g : gGlyphs) count = std::max(count, g.Index + 1);
  gList = ImageList_Create(kGlyphSize, kGlyphSize, ILC_COLOR24 | ILC_MASK, count, 4);
  if (!gList) return nullptr;
  HDC screen = GetDC(nullptr);
  for (int index = 0; index < count; ++index) {
    const Glyph* glyph = nullptr;
    for (const Glyph& g : gGlyphs)
      if (g.Index == index) glyph = &g;
    HBITMAP colour = CreateCompatibleBitmap(screen, kGlyphSize, kGlyphSize);
    HBITMAP mask = CreateBitmap(kGlyphSize, kGlyphSize, 1, 1, nullptr);
    HDC dc = CreateCompatibleDC(screen), mdc = CreateCompatibleDC(screen);
    HGDIOBJ o1 = SelectObject(dc, colour), o2 = SelectObject(mdc, mask);
    for (int y = 0; y < kGlyphSize; ++y) {
      for (int x = 0; x < kGlyphSize; ++x) {
        const uint32_t p = glyph ? glyph->Pixels[y * kGlyphSize + x] : kTransparent;
        SetPixel(dc, x, y, p == kTransparent ? RGB(0, 0, 0) : RGB(p >> 16, (p >> 8) & 0xFF, p & 0xFF));
        SetPixel(mdc, x, y, p == kTransparent ? RGB(255, 255, 255) : RGB(0, 0, 0));
      }
    }
    SelectObject(dc, o1);
    SelectObject(mdc, o2);
    DeleteDC(dc);
    DeleteDC(mdc);
    ImageList_Add(gList, colour, mask);
    DeleteObject(colour);
    DeleteObject(mask);
  }
  ReleaseDC(nullptr, screen);
  return gList;
}

HBITMAP GlyphMenuBitmap(HMODULE module, int index) {
  auto it = gMenuBitmaps.find(index);
  if (it != gMenuBitmaps.end()) return it->second;
  HIMAGELIST list = GlyphImageList(module);
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(screen, kGlyphSize, kGlyphSize);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT rc{0, 0, kGlyphSize, kGlyphSize};
  FillRect(dc, &rc, GetSysColorBrush(COLOR_MENU));
  if (list) ImageList_Draw(list, index, dc, 0, 0, ILD_TRANSPARENT);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  gMenuBitmaps[index] = bmp;
  return bmp;
}

void UnloadGlyphs() {
  for (auto& [index, bmp] : gMenuBitmaps) DeleteObject(bmp);
  gMenuBitmaps.clear();
  if (gList) ImageList_Destroy(gList);
  gList = nullptr;
  gGlyphs.clear();
  gLoaded = false;
}

}  // namespace kovra::win
