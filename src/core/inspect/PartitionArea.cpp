#include "inspect/PartitionArea.h"

#include <cstdio>

namespace kovra {

const char* PartitionDataKindName(TPartitionDataKind kind) {
  switch (kind) {
    case TPartitionDataKind::Main: return "main";
    case TPartitionDataKind::Spare: return "spare";
    case TPartitionDataKind::Full: return "full";
  }
  return "?";
}

TPartitionArea MainAreaOf(const TPartitionExtent& extent) {
  return {extent.MainOffset, extent.MainLength};
}

TPartitionArea SpareAreaOf(const TPartitionExtent& extent) {
  return {extent.SpareOffset, extent.SpareLength};
}

uint64_t PartitionDataFileSize(const TPartitionExtent& extent, TPartitionDataKind kind) {
  switch (kind) {
    case TPartitionDataKind::Main: return extent.MainLength;
    case TPartitionDataKind::Spare: return extent.SpareLength;
    case TPartitionDataKind::Full: return uint64_t(extent.MainLength) + extent.SpareLength;
  }
  return 0;
}

std::string HexText(uint64_t value, int digits) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return buf;
}

}  // namespace kovra
