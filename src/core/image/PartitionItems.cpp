#include "image/PartitionItems.h"

namespace kovra {

void FillPartitionItems(TCoolItemsList& items, std::vector<TPartitionDescriptor>& descriptors) {
  items.Types.assign(std::begin(kPartitionColumnTypes), std::end(kPartitionColumnTypes));
  items.ColorNormalProgressBackground = 0xF8F8F8;
  items.ColorNormalProgressForeground = 0xC8C8C8;
  items.ColorCursorProgressBackground = 0x808080;
  items.ColorCursorProgressForeground = 0x404040;
  items.Items.assign(descriptors.size(), TCoolViewItem{});

  const TCoolColoredItem normal{kColorWhite, kColorYellow, kColorDarkGrey, kColorBlue};
  TCoolColoredItem selectedColumn = normal;
  selectedColumn.ColorNormalSelected = kColorRed;

  for (size_t i = 0; i < descriptors.size(); ++i) {
    TPartitionDescriptor& d = descriptors[i];
    TCoolViewItem& row = items.Items[i];
    row.Values = {&d.Position, &d.CheckedType, &d.PartitionName, &d.AddressRange,
                  &d.PartitionSize, nullptr};
    row.Colors.assign(kPartitionRowValues, normal);
    row.Colors[1] = selectedColumn;
    row.Enabled = true;
  }
  items.Count = static_cast<int32_t>(descriptors.size());
}

}  // namespace kovra
