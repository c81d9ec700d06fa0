#pragma once
// One hex pane on a recording canvas: characters 8 x 16 pixels, so the hex
// cells start at x = 74 (8*8 + 10) every 24 pixels, the character cells at
// x = 460 (56*8 + 7 + 5) every 8 pixels, and a line is 16 pixels high. The
// paint box is 600 x 168: 10 whole lines and a partly visible eleventh.
#include <gtest/gtest.h>

#include <memory>

#include "hexview_test_support.h"
#include "ui/HEXView.h"
#include "ui/RecordingCanvas.h"

namespace kovra::testing {

class HexPaneTest : public ::testing::Test {
 protected:
  static constexpr int kW = 600, kH = 168;
  static constexpr int kHexLeft = 74, kSep = 455, kCharLeft = 460;

  void SetUp() override {
    Paint.Canvas = &Canvas;
    Paint.SetBounds(4, 0, kW, kH);
    Bar.SetBounds(4 + kW, 0, 17, kH);
    View = CreateHEXView(Box, Paint, Bar, Files);
    Box.SetBounds(0, 0, kW + 21, kH);
  }
  void TearDown() override { View.reset(); }

  // The point inside byte k's hex cell on visible line n.
  static int HexX(int k) { return kHexLeft + 24 * k + 4; }
  static int CharX(int k) { return kCharLeft + 8 * k + 2; }
  static int LineY(int n) { return 16 * n + 5; }

  void Show(const std::string& name, int64_t offset, int64_t length) {
    View->InitializeViewData(name, offset, length);
  }

  TFakeFiles Files;
  TRecordingCanvas Canvas;
  TScrollBox Box;
  TPaintBox Paint;
  TScrollBar Bar;
  std::unique_ptr<THEXView> View;
};

}  // namespace kovra::testing
