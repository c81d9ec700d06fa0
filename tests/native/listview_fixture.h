#pragma once
// The partition list on a recording canvas. The surface's own font is 16
// pixels high and the list adds 2, so a row is 18 pixels; list-font
// characters are 8 pixels wide. The paint box is 400 x 90: five rows.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "ui/CoolListView.h"
#include "ui/RecordingCanvas.h"

namespace kovra::testing {

// Text colours that tell the four row states apart.
inline constexpr TCoolColoredItem kStateColors{0x000001, 0x000002, 0x000003, 0x000004};

// Rows and the values they point at, kept alive together.
struct TListRows {
  TCoolItemsList List;
  std::deque<uint32_t> Numbers;
  std::deque<std::string> Strings;

  explicit TListRows(std::vector<uint32_t> types) { List.Types = std::move(types); }

  // Appends a row; one value per column, numbers for codes 0 and 2..7.
  TCoolViewItem& Add(const std::vector<std::string>& cells) {
    TCoolViewItem item;
    item.Enabled = true;
    for (size_t c = 0; c < cells.size(); ++c) {
      const uint32_t type = c < List.Types.size() ? List.Types[c] : 1;
      if (type == 0 || (type >= 2 && type <= 7)) {
        Numbers.push_back(static_cast<uint32_t>(std::stoul(cells[c])));
        item.Values.push_back(&Numbers.back());
      } else {
        Strings.push_back(cells[c]);
        item.Values.push_back(&Strings.back());
      }
      item.Colors.push_back(kStateColors);
    }
    List.Items.push_back(std::move(item));
    List.Count = static_cast<int32_t>(List.Items.size());
    return List.Items.back();
  }

  // n rows numbered from 0 in one decimal column.
  static std::unique_ptr<TListRows> Numbered(int n) {
    auto rows = std::make_unique<TListRows>(std::vector<uint32_t>{0});
    for (int i = 0; i < n; ++i) rows->Add({std::to_string(i)});
    return rows;
  }
};

class ListTest : public ::testing::Test {
 protected:
  static constexpr int kW = 400, kH = 90, kRow = 18;

  void SetUp() override {
    Paint.Canvas = &Canvas;
    Paint.SetBounds(0, 0, kW, kH);
    Bar.SetAlign(TAlign::alRight);
    Header.SetSections({{"Position", 80, 50}, {"Name", 120, 50}, {"Size", 200, 50}});
    View = CreateCoolListView(Box, Paint, Bar, Header, 14, "Courier New");
    View->OnSelectionChange = [this](int index, TMouseButton button, int x, int y) {
      Events.push_back({index, button, x, y});
    };
    View->OnDoubleClick = [this](TPaintBox& sender) {
      ++DoubleClicks;
      EXPECT_EQ(&sender, &Paint);
    };
    View->SetMultiThreadRepaint(false);
    View->SetRowHeightIncrease(2);
    View->SetBottomTextMargin(0);
    Box.SetBounds(0, 23, kW + 17, kH);
  }
  void TearDown() override { View.reset(); }

  // Attaches rows the way the main window does, and forgets the events so far.
  void Attach(TListRows& rows) {
    View->SetCoolItemsList(&rows.List);
    View->Refresh();
    Events.clear();
  }
  void Resize(int height) {
    Paint.SetBounds(0, 0, kW, height);
    Box.SetBounds(0, 23, kW + 17, height);
  }
  // Puts the cursor on row and the first visible row at top.
  void Place(int cursor, int top) {
    View->SetItemIndex(cursor);
    Bar.Scroll(TScrollCode::scTrack, top);
    ASSERT_EQ(View->FirstVisibleRow(), top);
    Events.clear();
  }

  struct Event {
    int Index;
    TMouseButton Button;
    int X, Y;
  };
  std::vector<Event> Events;
  int DoubleClicks = 0;

  TRecordingCanvas Canvas;
  TScrollBox Box;
  TPaintBox Paint;
  TScrollBar Bar;
  THeaderControl Header;
  std::unique_ptr<TCoolListView> View;
};

}  // namespace kovra::testing
