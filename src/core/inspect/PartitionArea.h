#pragma once
// The stretch of the image file that holds one kind of a partition's data,
// and the kinds as the save, hex dump and replace commands name them.
#include <cstdint>
#include <string>

#include "image/ImageTypes.h"

namespace kovra {

enum class TPartitionDataKind {
  Main,   // the partition's main data
  Spare,  // its spare data (1/32 of the main data)
  Full,   // main data, then spare data, as a partition file holds them
};

// "main", "spare", "full".
const char* PartitionDataKindName(TPartitionDataKind kind);

struct TPartitionArea {
  uint32_t Offset = 0;   // in the image file
  uint32_t Length = 0;
};

TPartitionArea MainAreaOf(const TPartitionExtent& extent);
TPartitionArea SpareAreaOf(const TPartitionExtent& extent);

// Bytes of the file that a save of this kind writes.
uint64_t PartitionDataFileSize(const TPartitionExtent& extent, TPartitionDataKind kind);

// 0x-prefixed upper-case hex with at least `digits` digits ("0x00540000").
std::string HexText(uint64_t value, int digits = 8);

}  // namespace kovra
