#pragma once
// Opening a full-flash image: geometry detection, the partition table, the
// descriptors and the list rows, with the log lines the main window shows.
// The main window's LoadImageFileAndProcessIt is a thin wrapper over this.
#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageTypes.h"
#include "platform/FileReader.h"
#include "ui/CoolItems.h"

namespace kovra {

enum class TImageLoadFailure {
  None,
  MissingFile,    // log: "ERROR: Specified file does not exist!!!"
  NoTable,        // message box: "ERROR: Cannot find Qualcomm Partition Table."
  FileError,      // an open or read error (or an image of 4 GiB or more); text in FailureText
  DynamicArray,   // log: "ERROR: Access Violation when setting Length for Dinamic Array."
};

inline constexpr char kTextFileMissing[] = "ERROR: Specified file does not exist!!!";
inline constexpr char kTextNoTable[] = "ERROR: Cannot find Qualcomm Partition Table.";
inline constexpr char kTextDynamicArray[] =
    "ERROR: Access Violation when setting Length for Dinamic Array.";
inline constexpr char kTextHtcAdjusted[] =
    "WARNING!!! Many Partitions will not correspond to real addresses for HTC FullImage files "
    "when NAND Block Size is 0x40000";
inline constexpr char kTextHtcDetected[] = "Detected the HTC Partition.";
inline constexpr char kHtcPartitionName[] = "0:HTC";

// Everything a load leaves behind. Move it, never copy it: PartitionItems
// holds pointers into Descriptors, which a move keeps valid and a copy would
// not (copying is therefore disabled).
struct TImageLoadResult {
  bool Ok = false;
  TImageLoadFailure Failure = TImageLoadFailure::None;
  // The text to show for the failure: the message box text (NoTable), the
  // error's text (FileError), or the log line (MissingFile, DynamicArray).
  std::string FailureText;
  std::vector<std::string> Log;   // lines appended to the log, in order

  ImageGeometry Geometry;         // PageSize and BlockSize stay 0 when no table was found
  uint32_t TableBlock = 0;        // block whose page 1 holds the table
  int32_t GaugeMax = 0;           // progress gauge maximum: FileSize / BlockSize - 1
  uint32_t RequiredBlocks = 0;    // largest EntryBase + EntrySize as read (0xFFFFFFFF counts 0)
  TQualcomMIBIB PartitionTable;   // entries after the HTC adjustment
  std::vector<TPartitionDescriptor> Descriptors;
  TCoolItemsList PartitionItems;  // Values point into Descriptors
  std::string LoadedImageName;    // the file name on success, empty otherwise

  TImageLoadResult() = default;
  TImageLoadResult(TImageLoadResult&&) = default;
  TImageLoadResult& operator=(TImageLoadResult&&) = default;
  TImageLoadResult(const TImageLoadResult&) = delete;
  TImageLoadResult& operator=(const TImageLoadResult&) = delete;
};

// Loads fName. no4KBAdjust is the "Don't adjust HTC Partition for 4KB NAND
// Pages" switch. Never throws for file problems: they come back as
// Failure FileError with the error's text; running out of memory for the
// table or the rows is Failure DynamicArray.
TImageLoadResult LoadImageFileAndProcessIt(const std::string& fName, bool no4KBAdjust,
                                           TFileOpener& opener = DefaultFileOpener());

// Index of the first entry whose stored name (prefix included, up to its
// first NUL) equals pName exactly, or -1. pName is UTF-8.
int FindPartitionByName(const TQualcomMIBIB& table, const std::string& pName);

// The lines the HTC notice appends: an empty line and "Detected the HTC
// Partition." when "0:HTC" exists with EntrySize at most 64; none otherwise.
std::vector<std::string> DetectHTCPartitionMaybe(const TQualcomMIBIB& table);

// The descriptor of entry index (0-based) of a table on an image with this
// geometry: name, texts, first block and length.
TPartitionDescriptor MakePartitionDescriptor(const TQualcommMIBIBEntry& entry, uint32_t index,
                                             const ImageGeometry& geometry);

// The smallest power of two not below required, as the too-small warning
// prints it; 0x100000000 when required is above 0x80000000.
uint64_t BlockCountPowerOfTwo(uint32_t required);

}  // namespace kovra
