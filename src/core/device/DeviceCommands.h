#pragma once
// The four device buttons of the main window and the frame they share: a
// click starts the button's command and turns the button into "&Stop"; a
// second click asks the host's running service to stop. The commands reach
// the device only through the form's host services and report through its
// log memo, status bar and gauge.
#include <cstdint>
#include <string>
#include <vector>

#include "device/HostServices.h"

namespace kovra {

class TQualcommForm;
class TButton;

inline constexpr char kStopCaption[] = "&Stop";
inline constexpr char kTextStoppedByUser[] = "Stopped by User.";
inline constexpr char kTextChipNotRecognized[] =
    "ERROR: Default FLASH1 Chip was not Recognized by the DCC Loader. Terminating.";
inline constexpr char kTextNoTableOnDevice[] = "ERROR: Couldn't find partition table location in the device memory.";
inline constexpr char kTextCreatingEmptyImage[] = "Please wait, creating empty temporary file  (";
inline constexpr char kTextCreatingImageCopy[] = "Please wait, creating temporary file copy (";
inline constexpr char kTextProcessingData[] = "Please wait, processing data...";
inline constexpr char kHostMainFileName[] = "$tQcmMain$.$$$";
inline constexpr char kHostSpareFileName[] = "$tQcmRedu$.$$$";
inline constexpr char kHostReadFileName[] = "$tQcmRead$.$$$";
inline constexpr uint32_t kImageCopyChunk = 0x10000;

// FIndex of each device button.
inline constexpr int kFlashCommand = 0;
inline constexpr int kReadCommand = 1;
inline constexpr int kEraseCommand = 2;
inline constexpr int kGetPartitionsCommand = 3;

// A partition a command works on: its list row and main-area byte range
// (unsigned 32-bit, as the table gives it).
struct TTargetRow {
  int Row = -1;
  uint32_t Address = 0;
  uint32_t Length = 0;
};

class TDeviceCommands {
 public:
  explicit TDeviceCommands(TQualcommForm& form) : fForm(form) {}

  // A device button's click: BName and ImageIndex are the button's idle
  // caption and glyph, read at the time of the click. A file error inside the
  // command still gives the button back, disconnects and clears the stop
  // byte; then it travels on to the window's general error handler.
  void AtLastCommonButtonFunctions(TButton& TheBtn, const std::string& BName, int FIndex, int ImageIndex);
  void CallThisButtonFunctionBody(int FIndex);
  // The button whose command runs, or null.
  TButton* RunningButton() const { return fRunning; }

  // The marked rows in row order, or the cursor row alone when no row is
  // marked; sets the gauge's maximum to their bytes (plus a thirty-second for
  // the cursor row alone when withSpare). Marked rows that hold no byte give
  // no target: the command must never fall back to a row nobody marked.
  std::vector<TTargetRow> TargetRows(bool withSpare);
  // True (and the log says so) when rows are marked but hold no byte between
  // them; `action` completes "nothing to ...".
  bool MarkedRowsHoldNothing(const char* action);

  // "&Get Partitions from Device".
  void ReadPartitiontCommand();
  // "Read Selected".
  void ReadPartitionsCommand();
  // Moves the host's main and spare files of one read into the working image
  // (copying the loaded image there first, once). partitionName names the
  // partition in the warning about a file of the wrong size. A partition
  // whose data would not lie inside the image is refused in the log before
  // anything is copied or written: false, and the host's files are deleted.
  bool InjectReadDataIntoTheImageFileRAM(uint32_t mAddr, uint32_t mLeng, const std::string& partitionName = {});
  // "Flash Selected".
  void FlasPartitionsCommand();
  bool WriteCurrentMemoryChunk(uint32_t Addr, uint32_t Leng, uint32_t mData, uint32_t pData, bool AlreadyConnected);
  // "Erase Selected".
  void ErasPartitionsCommand();

  // The main window's place, in the order the services take it.
  THostWindow HostWindow() const;

 private:
  THostServices& Host();
  void FailurePath();
  void EndOfRows();
  bool ConnectAndCheckChip(TFlashChipInfo& info);
  void MoveHostFileIntoImage(const std::string& hostFile, uint32_t at, uint32_t expected, const char* what,
                             const std::string& partitionName);
  // The log line refusing a partition whose main or spare data would not lie
  // inside an image of imageSize bytes (its main area mainArea bytes), or
  // empty when both fit.
  std::string RangeRefusal(uint32_t mAddr, uint32_t mLeng, uint64_t imageSize, uint64_t mainArea,
                           const std::string& partitionName) const;
  void DeleteHostFiles();
  void DeleteHostFile(const std::string& path);

  TQualcommForm& fForm;
  TButton* fRunning = nullptr;
};

}  // namespace kovra
