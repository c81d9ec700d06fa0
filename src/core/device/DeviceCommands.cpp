#include "device/DeviceCommands.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "image/ImageLoad.h"
#include "ui/MainUnit.h"

namespace kovra {
namespace {

constexpr uint32_t kBootMagic1 = 0xFE569FAC;  // first page of the MIBIB block
constexpr uint32_t kBootMagic2 = 0xCD7F127A;
constexpr uint32_t kFirstProbeBlock = 2;
constexpr uint32_t kLastProbeBlock = 15;
constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint32_t kMaxChipPage = 0x10000;
constexpr uint32_t kMaxChipBlock = 0x4000000;

uint32_t LE32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// Without a host every service fails, as a host with nothing connected would.
class TNoHostServices final : public THostServices {
 public:
  bool ConnectDevice(const uint8_t*) override { return false; }
  void GetHostWindowRect(int32_t&, int32_t&, int32_t&, int32_t&) override {}
  bool GetFlashChipInfo(uint32_t, TFlashChipInfo& info) override {
    info = TFlashChipInfo{};
    return false;
  }
  void AttachLogView(THostHandle) override {}
  void DisconnectDevice() override {}
  bool ReadFlash(uint32_t, uint32_t, uint32_t, const char*, std::span<uint8_t>, int32_t, THostHandle, uint32_t,
                 const THostWindow&) override {
    return false;
  }
  bool WriteFlash(const TFlashWriteRequest&, const std::string&) override { return false; }
  bool EraseFlash(uint32_t, uint32_t, uint32_t, const THostWindow&) override { return false; }
  void AttachProgressGauge(THostHandle) override {}
};

int GaugeValue(uint64_t v) { return static_cast<int>(std::min<uint64_t>(v, INT32_MAX)); }

// At least `digits` digits: a wider value is shown whole, never cut.
std::string Hex(uint32_t v, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (int i = 7; i >= 0; --i)
    if (i < digits || (v >> (4 * i)) != 0) s += kDigits[(v >> (4 * i)) & 0xF];
  return "0x" + s;
}

}  // namespace

THostServices& TDeviceCommands::Host() {
  static TNoHostServices none;
  return fForm.HostServices() ? *fForm.HostServices() : none;
}

THostWindow TDeviceCommands::HostWindow() const {
  const TForm& w = fForm.Form;
  return {w.Left(), w.Width(), w.Height(), w.Top()};
}

// ---- the frame -------------------------------------------------------------------

void TDeviceCommands::AtLastCommonButtonFunctions(TButton& TheBtn, const std::string& BName, int FIndex,
                                                  int ImageIndex) {
  uint8_t& stop = *fForm.HostStopFlag();
  if (TheBtn.Caption() != BName) {
    // The command is running: only the host's service can end it.
    stop = 1;
    return;
  }
  stop = 0;
  TheBtn.SetImageIndex(kGlyphStop);
  TheBtn.SetCaption(kStopCaption);
  fRunning = &TheBtn;
  bool restored = false;
  auto restore = [&] {
    if (restored) return;
    restored = true;
    fForm.MyStatus.SetPanelText(0, "");
    if (stop != 0) fForm.MyStatus.SetPanelText(0, kTextStoppedByUser);
    fForm.MyGauge.SetPosition(0);
    TheBtn.SetImageIndex(ImageIndex);
    TheBtn.SetCaption(BName);
    fRunning = nullptr;
    Host().DisconnectDevice();
    fForm.UpdateEnabledButtons();
    stop = 0;
  };
  try {
    CallThisButtonFunctionBody(FIndex);
  } catch (...) {
    // A file error ends the command; the button must not stay "&Stop" with
    // the device connected and a stop pending for the next command.
    restore();
    throw;
  }
  restore();
}

void TDeviceCommands::CallThisButtonFunctionBody(int FIndex) {
  switch (FIndex) {
    case kFlashCommand:
      FlasPartitionsCommand();
      break;
    case kReadCommand:
      ReadPartitionsCommand();
      break;
    case kEraseCommand:
      ErasPartitionsCommand();
      break;
    case kGetPartitionsCommand:
      ReadPartitiontCommand();
      break;
    default:
      break;
  }
}

std::vector<TTargetRow> TDeviceCommands::TargetRows(bool withSpare) {
  TGauge& gauge = fForm.MyGauge;
  gauge.SetPosition(0);
  gauge.SetMaxValue(0);
  const ImageGeometry& g = fForm.Geometry();
  const std::vector<TQualcommMIBIBEntry>& entries = fForm.PartitionTable().Entries;
  const TCoolItemsList& items = fForm.PartitionItems();
  const size_t rows = std::min({static_cast<size_t>(std::max(items.Count, 0)), items.Items.size(), entries.size()});
  std::vector<TTargetRow> targets;
  // Sixty-four bits: a selection of several large partitions must not wrap
  // the gauge round to "nothing selected".
  uint64_t max = 0;
  bool anyMarked = false;
  for (size_t i = 0; i < rows; ++i) {
    if (!items.Items[i].Selected) continue;
    anyMarked = true;
    const TPartitionExtent e = PartitionExtent(g, entries[i]);
    targets.push_back({static_cast<int>(i), e.MainOffset, e.MainLength});
    max += e.MainLength;
  }
  if (anyMarked && max == 0) {
    // Marked rows of no length: the command acts on nothing, and never on
    // the cursor row, which nobody marked.
    targets.clear();
  } else if (!anyMarked) {
    const int cursor = fForm.List().ItemIndex();
    if (cursor >= 0 && static_cast<size_t>(cursor) < entries.size()) {
      const TPartitionExtent e = PartitionExtent(g, entries[cursor]);
      targets.push_back({cursor, e.MainOffset, e.MainLength});
      max = uint64_t(e.MainLength) + (withSpare ? e.MainLength / 32 : 0);
    }
  }
  gauge.SetMaxValue(GaugeValue(max));
  return targets;
}

bool TDeviceCommands::MarkedRowsHoldNothing(const char* action) {
  const ImageGeometry& g = fForm.Geometry();
  const std::vector<TQualcommMIBIBEntry>& entries = fForm.PartitionTable().Entries;
  const std::vector<TPartitionDescriptor>& descriptors = fForm.Descriptors();
  const TCoolItemsList& items = fForm.PartitionItems();
  const size_t rows = std::min({static_cast<size_t>(std::max(items.Count, 0)), items.Items.size(), entries.size()});
  std::string names;
  uint64_t bytes = 0;
  for (size_t i = 0; i < rows; ++i) {
    if (!items.Items[i].Selected) continue;
    if (!names.empty()) names += ", ";
    names += "\"" + (i < descriptors.size() ? descriptors[i].PartitionName : std::to_string(i + 1)) + "\"";
    bytes += PartitionExtent(g, entries[i]).MainLength;
  }
  if (names.empty() || bytes != 0) return false;
  fForm.MyMemo.Add("ERROR: The selected partitions (" + names + ") hold 0 bytes: nothing to " + action + ".");
  return true;
}

void TDeviceCommands::FailurePath() {
  fForm.OnSelectionChange(fForm.List().ItemIndex(), TMouseButton::mbLeft, 0, 0);
  Host().DisconnectDevice();
  fForm.MyGauge.SetPosition(0);
}

bool TDeviceCommands::ConnectAndCheckChip(TFlashChipInfo& info) {
  if (!Host().ConnectDevice(fForm.PluginDescriptor())) {
    Host().DisconnectDevice();
    return false;
  }
  info = TFlashChipInfo{};
  Host().GetFlashChipInfo(kChipNumber, info);
  if (info.ChipPageSize == 0) {
    fForm.MyMemo.Add("");
    fForm.MyMemo.Add(kTextChipNotRecognized);
    return false;
  }
  return true;
}

// ---- get partitions from the device ------------------------------------------------

void TDeviceCommands::ReadPartitiontCommand() {
  TQualcommForm& f = fForm;
  THostServices& host = Host();
  f.MyMemo.Clear();
  TFlashChipInfo info;
  if (!ConnectAndCheckChip(info)) return;
  const uint32_t P = info.ChipPageSize, B = info.ChipBlockSize;
  const uint64_t S = uint64_t(info.MainSizeMiB) * kMiB;
  const uint64_t T = S + S / 32;
  // The image's size and every offset in it are 32-bit: a chip whose image
  // would not fit must not be written as a wrapped, much smaller one.
  if (T > UINT32_MAX) {
    f.MyMemo.Add("");
    f.MyMemo.Add("ERROR: FLASH1 Chip of " + std::to_string(info.MainSizeMiB) +
                 " MiB is too large for a full image file. Terminating.");
    return;
  }
  // The image is written in block-sized chunks around two pages and their
  // spare bytes: a block of 0 bytes would never end, one of less than two
  // pages could not hold them.
  auto unusable = [&] {
    f.MyMemo.Add("");
    f.MyMemo.Add("ERROR: FLASH1 Chip geometry is not usable (page " + Hex(P, 4) + ", block " + Hex(B, 8) + ", " +
                 std::to_string(info.MainSizeMiB) + " MiB). Terminating.");
  };
  // The host's figures also size buffers and are multiplied: a page above
  // 64 KiB or a block above 64 MiB (no NAND has them) or a block larger than
  // the chip is refused before anything is allocated or read.
  if (P < 32 || P % 32 != 0 || P > kMaxChipPage || B % 32 != 0 || uint64_t(B) < 2 * uint64_t(P) ||
      B > kMaxChipBlock || B > S) {
    unusable();
    return;
  }
  const THostWindow window = HostWindow();
  f.MyGauge.SetPosition(0);
  f.MyGauge.SetMaxValue(0x7FFFFFFF);

  std::vector<uint8_t> ProbeBuffer;
  uint32_t tableBlock = 0;
  for (uint32_t k = kFirstProbeBlock; k <= kLastProbeBlock; ++k) {
    ProbeBuffer.assign((P / 20 + P) * 2, 0);
    if (!host.ReadFlash(kChipNumber, k * B, 2 * P, nullptr, ProbeBuffer, 0, f.HostGauge(), 0, window)) {
      host.DisconnectDevice();
      return;
    }
    const uint8_t* b = ProbeBuffer.data();
    if (LE32(b) == kBootMagic1 && LE32(b + 4) == kBootMagic2 && LE32(b + P) == kMibibMagic1 &&
        LE32(b + P + 4) == kMibibMagic2) {
      tableBlock = k;
      break;
    }
  }
  host.DisconnectDevice();
  if (tableBlock == 0) {
    f.MyMemo.Add(kTextNoTableOnDevice);
    return;
  }

  const uint64_t tableAt = uint64_t(tableBlock) * B;
  if (tableAt + B > S) {
    // The block the table was read from lies beyond the main area the chip reported.
    unusable();
    return;
  }

  f.Platform().Pump();
  const std::string& tempName = f.ImageTempName();
  std::unique_ptr<TWritableFile> out = f.Creator().CreateForWriting(tempName);
  std::vector<uint8_t>& buffer = f.TransferBuffer();
  buffer.assign(B, 0xFF);
  uint64_t position = 0;
  auto fillTo = [&](uint64_t end) {
    while (position < end) {
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(B, end - position));
      position += n;
      f.MyStatus.SetPanelText(0, kTextCreatingEmptyImage + std::to_string(position * 100 / T) + "%)...");
      f.Platform().Pump();
      out->Write(buffer.data(), n);
    }
  };
  fillTo(tableAt);
  out->Write(ProbeBuffer.data(), 2 * P);
  out->Write(buffer.data(), B - 2 * P);
  position += B;
  fillTo(S);
  fillTo(S + tableAt / 32);
  out->Write(ProbeBuffer.data() + 2 * P, 2 * (P / 32));
  out->Write(buffer.data(), (B - 2 * P) / 32);
  position += B / 32;
  fillTo(T);
  f.SetLoadedImageName(tempName);
  out->Close();

  f.MyMemo.Add("");
  f.CreateListClick(TQualcommForm::TSender::ReadPartitionBtn);
}

// ---- read selected partitions ----------------------------------------------------------

void TDeviceCommands::ReadPartitionsCommand() {
  TQualcommForm& f = fForm;
  THostServices& host = Host();
  f.MyMemo.Clear();
  if (MarkedRowsHoldNothing("read")) return;
  TFlashChipInfo info;
  if (!ConnectAndCheckChip(info)) return;
  const THostWindow window = HostWindow();
  const std::vector<TTargetRow> targets = TargetRows(true);
  const std::vector<TPartitionDescriptor>& d = f.Descriptors();
  auto nameOf = [&d](const TTargetRow& row) {
    return static_cast<size_t>(row.Row) < d.size() ? d[row.Row].PartitionName : std::string();
  };
  // Every partition must lie inside the working image (a copy of the loaded
  // image, so of its size) before anything is read or written: data that does
  // not fit would land in the spare area and then fail half-way.
  if (!targets.empty()) {
    const uint64_t imageSize = f.Files().OpenForReading(f.LoadedImageName())->Size();
    const ImageGeometry& g = f.Geometry();
    for (const TTargetRow& row : targets) {
      const std::string refusal =
          RangeRefusal(row.Address, row.Length, imageSize, uint64_t(g.BlockCount) * g.BlockSize, nameOf(row));
      if (refusal.empty()) continue;
      f.MyMemo.Add(refusal + " Nothing was read.");
      FailurePath();
      return;
    }
  }
  for (const TTargetRow& row : targets) {
    if (!host.ReadFlash(kChipNumber, row.Address, row.Length, kHostFileTag, {}, -1, f.HostGauge(), 1, window)) {
      FailurePath();
      return;
    }
    if (!InjectReadDataIntoTheImageFileRAM(row.Address, row.Length, nameOf(row))) {
      FailurePath();
      return;
    }
  }
  f.OnSelectionChange(f.List().ItemIndex(), TMouseButton::mbLeft, 0, 0);
  for (const std::string& line : DetectHTCPartitionMaybe(f.PartitionTable())) f.MyMemo.Add(line);
  host.DisconnectDevice();
  f.MyGauge.SetPosition(0);
}

std::string TDeviceCommands::RangeRefusal(uint32_t mAddr, uint32_t mLeng, uint64_t imageSize, uint64_t mainArea,
                                          const std::string& partitionName) const {
  const uint64_t spareAt = mainArea + mAddr / 32;
  const uint64_t spareLength = mLeng / 32;
  if (uint64_t(mAddr) + mLeng <= mainArea && spareAt + spareLength <= imageSize) return {};
  auto hex = [](uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%08llX", static_cast<unsigned long long>(v));
    return std::string(buf);
  };
  return "ERROR: Partition \"" + partitionName + "\" does not fit in the image: its main data is " + hex(mLeng) +
         " bytes at " + hex(mAddr) + " and its spare data " + hex(spareLength) + " bytes at " + hex(spareAt) +
         ", but the image holds " + hex(imageSize) + " bytes, of which " + hex(mainArea) + " are main data.";
}

bool TDeviceCommands::InjectReadDataIntoTheImageFileRAM(uint32_t mAddr, uint32_t mLeng,
                                                        const std::string& partitionName) {
  TQualcommForm& f = fForm;
  const std::string& tempName = f.ImageTempName();
  std::vector<uint8_t>& buffer = f.TransferBuffer();
  const ImageGeometry& g = f.Geometry();
  {
    // Checked before the copy and before any byte goes in: the working image
    // is the loaded image or a copy of it, so it has the loaded image's size.
    const uint64_t imageSize = f.Files().OpenForReading(f.LoadedImageName())->Size();
    const std::string refusal =
        RangeRefusal(mAddr, mLeng, imageSize, uint64_t(g.BlockCount) * g.BlockSize, partitionName);
    if (!refusal.empty()) {
      f.MyMemo.Add(refusal + " Nothing was written into the image.");
      DeleteHostFiles();
      return false;
    }
  }
  if (f.LoadedImageName() != tempName) {
    // Another spelling of the working image must not be emptied while it is
    // the copy's source.
    if (!f.Creator().IsSameFile(f.LoadedImageName(), tempName)) {
      std::unique_ptr<TReadableFile> source = f.Files().OpenForReading(f.LoadedImageName());
      std::unique_ptr<TWritableFile> copy = f.Creator().CreateForWriting(tempName);
      buffer.resize(kImageCopyChunk);
      const uint64_t size = source->Size();
      for (uint64_t done = 0; done < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kImageCopyChunk, size - done));
        done += n;
        f.MyStatus.SetPanelText(0, kTextCreatingImageCopy + std::to_string(done * 100 / size) + "%)...");
        f.Platform().Pump();
        source->ReadAt(done - n, buffer.data(), n);
        copy->Write(buffer.data(), n);
      }
      copy->Close();
    }
    f.SetLoadedImageName(tempName);
  }
  const uint32_t spareOffset = g.BlockCount * g.BlockSize + mAddr / 32;
  f.MyStatus.SetPanelText(0, kTextProcessingData);
  f.Platform().Pump();
  MoveHostFileIntoImage(f.HostDir() + kHostMainFileName, mAddr, mLeng, "main", partitionName);
  MoveHostFileIntoImage(f.HostDir() + kHostSpareFileName, spareOffset, mLeng / 32, "spare", partitionName);
  DeleteHostFiles();
  f.MyStatus.SetPanelText(0, "");
  f.Platform().Pump();
  return true;
}

void TDeviceCommands::DeleteHostFiles() {
  for (const char* name : {kHostReadFileName, kHostMainFileName, kHostSpareFileName})
    DeleteHostFile(fForm.HostDir() + name);
}

void TDeviceCommands::MoveHostFileIntoImage(const std::string& hostFile, uint32_t at, uint32_t expected,
                                            const char* what, const std::string& partitionName) {
  TQualcommForm& f = fForm;
  // After a read the host reported as good, a missing or short file means
  // the data never arrived: the user must not take the old bytes for it.
  const std::string warning = "WARNING!!! Partition \"" + partitionName + "\": the " + what + " data ";
  const std::string untouched = "; that part of the image was left as it was.";
  if (!f.Files().FileExists(hostFile)) {
    if (expected != 0) f.MyMemo.Add(warning + "file was not left by the host" + untouched);
    return;
  }
  std::unique_ptr<TReadableFile> source = f.Files().OpenForReading(hostFile);
  std::unique_ptr<TUpdatableFile> image = f.Creator().OpenForUpdate(f.LoadedImageName());
  const uint64_t size = source->Size();
  if (size == expected && size != 0) {
    std::vector<uint8_t>& buffer = f.TransferBuffer();
    if (buffer.empty()) buffer.resize(kImageCopyChunk);
    for (uint64_t done = 0; done < size;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done));
      source->ReadAt(done, buffer.data(), n);
      image->WriteAt(at + done, buffer.data(), n);
      done += n;
    }
  } else if (size != expected) {
    f.MyMemo.Add(warning + "file holds " + std::to_string(size) + " bytes instead of " + std::to_string(expected) +
                 untouched);
  }
  image->Close();
}

void TDeviceCommands::DeleteHostFile(const std::string& path) {
  if (fForm.Platform().DeleteFile) {
    fForm.Platform().DeleteFile(path);
    return;
  }
  std::error_code ec;
  std::filesystem::remove(PathFromUtf8(path), ec);
}

// ---- flash selected partitions ----------------------------------------------------------

void TDeviceCommands::FlasPartitionsCommand() {
  TQualcommForm& f = fForm;
  f.MyMemo.Clear();
  if (MarkedRowsHoldNothing("flash")) return;
  bool alreadyConnected = false;
  for (const TTargetRow& row : TargetRows(true)) {
    if (!WriteCurrentMemoryChunk(row.Address, row.Length, 0, 0, alreadyConnected)) {
      FailurePath();
      return;
    }
    alreadyConnected = true;
  }
  EndOfRows();
}

bool TDeviceCommands::WriteCurrentMemoryChunk(uint32_t Addr, uint32_t Leng, uint32_t mData, uint32_t pData,
                                              bool AlreadyConnected) {
  TQualcommForm& f = fForm;
  TFlashWriteRequest r;
  r.ChipNumber = kChipNumber;
  r.Address = Addr;
  r.Length = Leng;
  std::copy_n(f.PluginDescriptor(), kPluginDescriptorSize, r.Descriptor);
  r.Flag88 = 1;
  r.mData = mData;
  r.Flag100 = 0;
  r.pData = pData;
  r.AlreadyConnected = AlreadyConnected ? 1 : 0;
  r.Flag113 = 0;
  r.Flag114 = 0;
  r.Flag115 = 1;
  r.Flag116 = 1;
  r.EccEnabled = f.EnableECCBtn.Checked() ? 1 : 0;
  r.Gauge = f.HostGauge();
  r.Flag128 = 1;
  const THostWindow w = HostWindow();
  r.WindowLeft = w.Left;
  r.WindowWidth = w.Width;
  r.WindowHeight = w.Height;
  r.WindowTop = w.Top;
  return Host().WriteFlash(r, f.LoadedImageName());
}

// ---- erase selected partitions ----------------------------------------------------------

void TDeviceCommands::ErasPartitionsCommand() {
  TQualcommForm& f = fForm;
  THostServices& host = Host();
  f.MyMemo.Clear();
  if (MarkedRowsHoldNothing("erase")) return;
  TFlashChipInfo info;
  if (!ConnectAndCheckChip(info)) return;
  f.MyMemo.Add("");
  const THostWindow window = HostWindow();
  for (const TTargetRow& row : TargetRows(false)) {
    if (!host.EraseFlash(kChipNumber, row.Address, row.Length, window)) {
      FailurePath();
      return;
    }
  }
  EndOfRows();
}

void TDeviceCommands::EndOfRows() {
  fForm.OnSelectionChange(fForm.List().ItemIndex(), TMouseButton::mbLeft, 0, 0);
  fForm.MyStatus.SetPanelText(0, "");
  Host().DisconnectDevice();
  fForm.MyGauge.SetPosition(0);
}

}  // namespace kovra
