// A push button's glyph and caption: centred together while there is room,
// then a narrower gap and the whole face, then the caption alone, so that a
// caption shows whole whenever the face can hold it; only then is it cut.
#include <gtest/gtest.h>

#include "ui/Controls.h"

namespace kovra {
namespace {

TEST(GlyphButtonLayout, CentresShortCaptionsAndKeepsTheGap) {
  struct Case {
    int Width, Glyph, Text;
    TGlyphButtonLayout Want;
  } const cases[] = {
      // 16 + 4 + 80 = 100 in 154: 27 pixels each side.
      {154, 16, 80, {27, 47, 152, true, true}},
      // Exactly the room that keeps 3 pixels each side.
      {154, 16, 128, {3, 23, 152, true, true}},
      // No glyph: no gap either.
      {154, 0, 100, {27, 27, 152, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    const TGlyphButtonLayout l = LayoutGlyphButton(c.Width, c.Glyph, c.Text);
    EXPECT_EQ(l.GlyphLeft, c.Want.GlyphLeft);
    EXPECT_EQ(l.TextLeft, c.Want.TextLeft);
    EXPECT_EQ(l.TextRight, c.Want.TextRight);
    EXPECT_EQ(l.ShowGlyph, c.Want.ShowGlyph);
    EXPECT_EQ(l.CaptionFits, c.Want.CaptionFits);
  }
}

TEST(GlyphButtonLayout, ALongCaptionNarrowsTheGapThenGoesWithoutTheGlyphBeforeItIsCut) {
  // The face is 150 pixels inside the 2-pixel frame; the glyph takes 16.
  struct Case {
    int Text;
    int Gap;  // beside the glyph; -1: the caption alone; -2: cut
  } const cases[] = {{129, 4}, {130, 4}, {131, 3}, {133, 1}, {134, 0},
                     {135, -1}, {140, -1}, {150, -1}, {151, -2}, {200, -2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    const TGlyphButtonLayout l = LayoutGlyphButton(154, 16, c.Text);
    EXPECT_EQ(l.CaptionFits, c.Gap > -2);
    EXPECT_EQ(l.ShowGlyph, c.Gap != -1);
    EXPECT_GE(l.GlyphLeft, kButtonFaceEdge);
    EXPECT_EQ(l.TextRight, 152);
    if (c.Gap >= 0) {
      EXPECT_EQ(l.TextLeft - l.GlyphLeft - 16, c.Gap);
    }
    if (c.Gap == -1) {
      EXPECT_EQ(l.TextLeft, 2 + (150 - c.Text) / 2);
    }
  }
  // Every width: whole whenever the caption fits in the face; the glyph,
  // when shown, never over the caption; everything inside the face.
  for (int text = 0; text <= 200; ++text) {
    const TGlyphButtonLayout l = LayoutGlyphButton(154, 16, text);
    EXPECT_EQ(l.CaptionFits, text <= 150) << text;
    EXPECT_EQ(l.ShowGlyph, text <= 134 || text > 150) << text;
    if (l.ShowGlyph) {
      EXPECT_GE(l.TextLeft, l.GlyphLeft + 16) << text;
    }
    EXPECT_GE(l.GlyphLeft, kButtonFaceEdge) << text;
    EXPECT_GE(l.TextLeft, kButtonFaceEdge) << text;
    EXPECT_LE(l.TextRight, 152) << text;
    if (l.CaptionFits) {
      EXPECT_LE(l.TextLeft + text, l.TextRight) << text;
    }
  }
}

}  // namespace
}  // namespace kovra
