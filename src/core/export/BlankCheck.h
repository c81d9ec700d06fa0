#pragma once
// The blank check: which partitions hold nothing but erased flash. Main data
// must be all 0xFF; spare data is taken in 16-byte groups counted from the
// start of the range, of which bytes 0 to 13 must be 0xFF (14 and 15 are not
// examined).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/ExportHooks.h"
#include "image/ImageTypes.h"
#include "platform/FileReader.h"

namespace kovra {

inline constexpr char kTextCheckingBlank[] = "Checking which Partition is blank...";
inline constexpr char kTextCheckComplete[] = "COMPLETE!";
inline constexpr char kTextBlankFound[] = "Following partitions are found to be completely blank:";
inline constexpr char kTextNoBlankFound[] = "There are no blank partitions found.";

// The rules on bytes in memory. groupStart: the index within its 16-byte
// group of data[0] (0 when data starts a group).
bool IsMainDataBlank(const uint8_t* data, size_t size);
bool IsSpareDataBlank(const uint8_t* data, size_t size, size_t groupStart = 0);

// The rules on a range of the image, read in pieces of at most pieceSize
// bytes into buffer (which holds pieceSize bytes); false at the first piece
// that breaks the rule, true for a range of length 0. Read errors throw.
bool CheckMainImageRangeToBeBlank(TReadableFile& image, uint32_t addr, uint32_t leng,
                                  uint8_t* buffer, uint32_t pieceSize);
bool CheckReduImageRangeToBeBlank(TReadableFile& image, uint32_t addr, uint32_t leng,
                                  uint8_t* buffer, uint32_t pieceSize);

// "  Partition: <name> at <address range>", one line of the blank list.
std::string BlankListLine(const TPartitionDescriptor& descriptor);

// The whole check over every table entry in order, block by block, each
// partition only up to its first block that is not blank. Sets IsBlank of
// every descriptor and writes the log: an empty line, the progress line
// ("Checking which Partition is blank..." with i/count, then "COMPLETE!"),
// then the list of blank partitions or "There are no blank partitions
// found.". The gauge counts every block once and ends at 0. A read error
// throws TFileError: descriptors checked so far keep their new flag, the log
// keeps its progress text and the gauge stays where it was.
void CheckBlanks(const TExportContext& ctx, const TQualcomMIBIB& table,
                 std::vector<TPartitionDescriptor>& descriptors);

}  // namespace kovra
