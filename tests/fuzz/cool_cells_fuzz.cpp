// The cell texts of every column type code, and the list drawing them into
// columns of fuzzed widths: texts cut with "...", hex fields cut per digit,
// UTF-8 of any shape (partition names come from the image).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "ui/CoolItems.h"
#include "ui/CoolListView.h"
#include "ui/RecordingCanvas.h"

using namespace kovra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);

  // Every code on its own, with a number and a text.
  const uint32_t number = in.ConsumeIntegral<uint32_t>();
  const std::string text = in.ConsumeRandomLengthString(200);
  for (uint32_t code = 0; code <= 12; ++code) {
    const bool isNumber = code == 0 || (code >= 2 && code <= 7);
    const TCoolCell cell = CoolCellOf(code, isNumber ? static_cast<const void*>(&number)
                                                     : static_cast<const void*>(&text));
    (void)CoolCellPlainText(cell);
    (void)CoolCellPlainText(code, nullptr);
    for (const TCoolCellPiece& p : cell.Pieces)
      if (p.IsNumber && p.Text.size() > 12) std::abort();   // a number piece is at most 12 digits
  }

  // A list of a few rows and columns, drawn.
  const int columns = in.ConsumeIntegralInRange(0, 6);
  const int rows = in.ConsumeIntegralInRange(0, 8);
  TCoolItemsList list;
  std::deque<uint32_t> numbers;
  std::deque<std::string> strings;
  for (int c = 0; c < columns; ++c) list.Types.push_back(in.ConsumeIntegralInRange<uint32_t>(0, 12));
  for (int r = 0; r < rows; ++r) {
    TCoolViewItem item;
    item.Enabled = true;
    item.Selected = in.ConsumeBool();
    item.IsProgress = in.ConsumeBool();
    item.Progress = in.ConsumeIntegral<int64_t>();
    item.MaxValue = in.ConsumeIntegral<int64_t>();
    const int values = in.ConsumeIntegralInRange(0, columns + 1);
    for (int c = 0; c < values; ++c) {
      const uint32_t type = c < columns ? list.Types[size_t(c)] : 1;
      if (in.ConsumeIntegralInRange(0, 7) == 0) {
        item.Values.push_back(nullptr);
      } else if (type == 0 || (type >= 2 && type <= 7)) {
        numbers.push_back(in.ConsumeIntegral<uint32_t>());
        item.Values.push_back(&numbers.back());
      } else {
        strings.push_back(in.ConsumeRandomLengthString(100));
        item.Values.push_back(&strings.back());
      }
      item.Colors.push_back({1, 2, 3, 4});
    }
    list.Items.push_back(std::move(item));
  }
  // The owner may claim more rows than it has: the list must not read them.
  list.Count = in.ConsumeIntegralInRange(-2, rows + 2);

  TRecordingCanvas canvas;
  TScrollBox box;
  TPaintBox paint;
  TScrollBar bar;
  THeaderControl header;
  paint.Canvas = &canvas;
  const int width = in.ConsumeIntegralInRange(0, 800);
  const int height = in.ConsumeIntegralInRange(0, 300);
  paint.SetBounds(0, 0, width, height);
  box.SetBounds(0, 23, width + 17, height);
  std::vector<THeaderSection> sections;
  for (int c = 0; c < columns; ++c)
    // Widths come back from stored settings too: any int at all.
    sections.push_back({"c", in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-20, 400), 0});
  header.SetSections(sections);
  auto view = CreateCoolListView(box, paint, bar, header, 14, "Courier New");
  view->SetMultiThreadRepaint(false);
  view->SetCoolItemsList(&list);
  view->Refresh();
  if (list.Count > 0) {
    view->SetItemIndex(in.ConsumeIntegralInRange(0, list.Count - 1));
    view->Repaint();
  }
  // Cells asked for by row and column, in and out of range.
  for (int r = -1; r <= rows + 1; ++r)
    for (int c = -1; c <= columns + 1; ++c) (void)CoolCellPlainText(CoolCellOf(list, r, c));
  return 0;
}
