#pragma once
// The partition list's rows built over the descriptors.
#include <vector>

#include "image/ImageTypes.h"
#include "ui/CoolItems.h"

namespace kovra {

// Column types of the partition list: Position, Selected, Partition Name,
// Address (Blocks) Range, Size in Bytes (Blocks).
inline constexpr uint32_t kPartitionColumnTypes[5] = {ctDecimal, ctText, ctText, ctHexRange,
                                                      ctHexSize};
inline constexpr size_t kPartitionRowValues = 6;

inline constexpr TCoolColor kColorWhite = 0xFFFFFF;
inline constexpr TCoolColor kColorYellow = 0x00FFFF;
inline constexpr TCoolColor kColorDarkGrey = 0x606060;
inline constexpr TCoolColor kColorBlue = 0xFF0000;
inline constexpr TCoolColor kColorRed = 0x0000FF;

// Fills items with one row per descriptor; every row's Values point into
// descriptors, which must therefore stay where they are while the list shows
// them. Rows are enabled, not selected, not progress rows.
void FillPartitionItems(TCoolItemsList& items, std::vector<TPartitionDescriptor>& descriptors);

}  // namespace kovra
