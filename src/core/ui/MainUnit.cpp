#include "ui/MainUnit.h"

#include "export/BlankCheck.h"
#include "export/ImageSave.h"
#include "export/PartitionFiles.h"
#include "image/PartitionItems.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>

namespace kovra {
namespace {

// Spacers between the regions and the window's edges.
constexpr int kSpaceV = 10;
constexpr int kSpaceH = 8;
constexpr int kMemoLeft = 8;  // inside its group box
constexpr int kMemoTop = 16;
constexpr int kMemoHeight = 213;
constexpr int kEditHeight = 21;
constexpr int kGaugeHeight = 17;
constexpr int kButtonWidth = 154;
constexpr int kButtonHeight = 23;
constexpr int kHeaderHeight = 23;
constexpr int kScrollBarWidth = 17;

bool ParseInt(const std::string& text, int& value) {
  const char* b = text.data();
  const char* e = b + text.size();
  int v = 0;
  auto [p, ec] = std::from_chars(b, e, v);
  if (ec != std::errc() || p != e || b == e) return false;
  value = v;
  return true;
}

// "-1"/"0" as written, any other integer as nonzero-is-true, and the two
// boolean words in any letter case.
bool ParseBool(const std::string& text, bool& value) {
  int v = 0;
  if (ParseInt(text, v)) {
    value = v != 0;
    return true;
  }
  std::string lower;
  for (char c : text) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  if (lower == "true") value = true;
  else if (lower == "false") value = false;
  else return false;
  return true;
}

// The keys of the partition list's key table.
enum : int {
  kVkReturn = 13, kVkEscape = 27, kVkPrior = 33, kVkNext = 34, kVkEnd = 35, kVkHome = 36,
  kVkUp = 38, kVkDown = 40
};

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

const std::array<const char*, 9> TQualcommForm::kPopupCaptions = {
    "Save partition (\"main\" data only) into file...",
    "Save partition (\"spare\" data only) into file...",
    "Save partition (full - main and spare) into file...",
    "-",
    "Save all paritions (\"main\" data only) into separate files...",
    "Save all paritions (\"spare\" data only) into separate files...",
    "Save all paritions (full - main and spare) into separate files...",
    "-",
    "Save as KOVRA FullFlash Image File...",
};

TQualcommForm::TQualcommForm(TPlatformServices& platform, THexForm& hexForm, TFileOpener& files)
    : fPlatform(platform), fHexForm(hexForm), fFiles(files) {
  Form.Caption = kMainFormCaption;
  HeaderControl00.SetSections({{"Position", 80, 50},
                               {"Selected", 90, 50},
                               {"Partition Name", 120, 50},
                               {"Address (Blocks) Range", 420, 50},
                               {"Size in Bytes (Blocks)", 2000, 50}});
  EnableECCBtn.Caption = "Enable ECC when Flashing";
  No4KBAdjust.Caption = "Don't adjust HTC Partition for 4KB NAND Pages";
  struct Designed {
    TButton* Button;
    const char* Caption;
    int Glyph;
    bool Enabled;
  } const buttons[] = {
      {&ReadSelectedBtn, "Read Selected", kGlyphReadSelected, false},
      {&FlashSelectedBtn, "Flash Selected", kGlyphFlashSelected, false},
      {&EraseSelectedBtn, "Erase Selected", kGlyphEraseSelected, false},
      {&CheckBlanks, "Check for Blank", kGlyphCheckBlanks, false},
      {&InvertSelectedBtn, "Invert Selection", kGlyphInvert, false},
      {&ShowHideHexBtn, "&Show/Hide HEX", kGlyphShowHideHex, true},
      {&CreateList, "&Make Partitions from File", kGlyphCreateList, true},
      {&ReadPartitionBtn, "&Get Partitions from Device", kGlyphGetPartitions, true},
  };
  for (const Designed& d : buttons) {
    d.Button->SetCaption(d.Caption);
    d.Button->SetImageIndex(d.Glyph);
    d.Button->SetEnabled(d.Enabled);
  }
  SelectImageFile.SetCaption("...");
  SelectImageFile.SetImageIndex(kGlyphSelectFile);
  for (const char* caption : kPopupCaptions) MyPopup.Items.push_back({caption, true, nullptr});
  SaveDialog.Save = true;
  SaveDialog.OverwritePrompt = true;
  SaveDialog.Filter = "Binary files |*.bin";
  OpenDialog.Filter = "AMSS Modem Files (*.bin)|*.bin";
  HexWindow.SetVisible(false);

  fDevice = std::make_unique<TDeviceCommands>(*this);
  InvertSelectedBtn.OnClick = [this] { Guarded([this] { InvertSelectedBtnClick(); }); };
  ShowHideHexBtn.OnClick = [this] { Guarded([this] { ShowHideHexBtnClick(); }); };
  // A list rebuilt under a running command would free the rows it works on.
  CreateList.OnClick = [this] {
    if (!CommandRunning()) Guarded([this] { CreateListClick(TSender::CreateList); });
  };
  SelectImageFile.OnClick = [this] { Guarded([this] { SelectImageFileClick(); }); };
  CheckBlanks.OnClick = [this] { ExportCommand([this] { CheckBlanksClick(); }); };
  FlashSelectedBtn.OnClick = [this] { DeviceButtonClick(FlashSelectedBtn, kFlashCommand); };
  ReadSelectedBtn.OnClick = [this] { DeviceButtonClick(ReadSelectedBtn, kReadCommand); };
  EraseSelectedBtn.OnClick = [this] { DeviceButtonClick(EraseSelectedBtn, kEraseCommand); };
  ReadPartitionBtn.OnClick = [this] { DeviceButtonClick(ReadPartitionBtn, kGetPartitionsCommand); };
  const std::function<void()> itemCommands[9] = {
      [this] { SavePartitionDataIntoFile(true, false); },
      [this] { SavePartitionDataIntoFile(false, true); },
      [this] { SavePartitionDataIntoFile(true, true); },
      nullptr,
      [this] { SaveAllPartitionsDataIntoFile(true, false); },
      [this] { SaveAllPartitionsDataIntoFile(false, true); },
      [this] { SaveAllPartitionsDataIntoFile(true, true); },
      nullptr,
      [this] { SaveAsImageFileIemClick(); },
  };
  for (size_t i = 0; i < MyPopup.Items.size(); ++i) {
    if (itemCommands[i]) MyPopup.Items[i].OnClick = [this, c = itemCommands[i]] { ExportCommand(c); };
  }
  Form.OnResize = [this] { FormResize(); };
  FormResize();
}

TQualcommForm::~TQualcommForm() {
  // The list must not outlive the widgets it was handed, nor keep pointing
  // at rows that go with fImage.
  fList.reset();
  // The module is being unloaded: the working image goes with it, even while
  // it is the loaded image.
  DeleteWorkingImage();
}

bool TQualcommForm::WorkingImageIsLoaded() const {
  const std::string& loaded = fImage.LoadedImageName;
  if (fImageTempName.empty() || loaded.empty()) return false;
  return loaded == fImageTempName || fCreator->IsSameFile(loaded, fImageTempName);
}

void TQualcommForm::DeleteWorkingImage() {
  if (fPlatform.DeleteFile && !fImageTempName.empty()) fPlatform.DeleteFile(fImageTempName);
}

void TQualcommForm::DeviceButtonClick(TButton& button, int fIndex) {
  // The running button's own click is its stop; any other device button
  // waits until the command has ended.
  TButton* running = fDevice->RunningButton();
  if ((running && running != &button) || fExportRunning > 0) return;
  Guarded([&] {
    const TIdleState& idle = Idle(button);
    fDevice->AtLastCommonButtonFunctions(button, idle.IdleCaption, fIndex, idle.IdleImageIndex);
  });
}

void TQualcommForm::ExportCommand(const std::function<void()>& command) {
  if (CommandRunning()) return;
  struct TRunning {
    int& Count;
    explicit TRunning(int& count) : Count(count) { ++Count; }
    ~TRunning() { --Count; }
  } running(fExportRunning);
  Guarded(command);
}

const uint8_t* TQualcommForm::PluginDescriptor() const {
  static const std::array<uint8_t, kPluginDescriptorSize> kNone{};
  return fPluginDescriptor ? fPluginDescriptor : kNone.data();
}

void TQualcommForm::StatusTextCallback(uint32_t panel, const std::string& text) {
  if (panel <= 2) MyStatus.SetPanelText(panel, text);
}

std::vector<TButton*> TQualcommForm::TabOrder() {
  return {&ReadSelectedBtn,  &FlashSelectedBtn, &EraseSelectedBtn, &CheckBlanks,
          &ShowHideHexBtn,   &CreateList,       &ReadPartitionBtn, &InvertSelectedBtn};
}

TQualcommForm::TIdleState& TQualcommForm::Idle(const TButton& button) {
  if (&button == &ReadPartitionBtn) return fIdle[0];
  if (&button == &FlashSelectedBtn) return fIdle[1];
  if (&button == &ReadSelectedBtn) return fIdle[2];
  return fIdle[3];
}

// ---- lifecycle ----------------------------------------------------------------

void TQualcommForm::FormCreate() {
  GroupBox2.DoubleBuffered = PartitionsListMainPanel.DoubleBuffered = GaugePanel.DoubleBuffered =
      Form.DoubleBuffered = true;
  fImage.PartitionItems.Count = 0;
  fList = std::make_unique<TCoolListView>(ScrollBox00, PaintBox00, ScrollBar00, HeaderControl00, 14,
                                          "Courier New");
  fList->OnSelectionChange = [this](int itemIndex, TMouseButton button, int x, int y) {
    OnSelectionChange(itemIndex, button, x, y);
  };
  fList->OnDoubleClick = [this](TPaintBox&) { OnDoubleClick(); };
  fList->SetMultiThreadRepaint(false);
  fList->SetRowHeightIncrease(2);
  fList->SetBottomTextMargin(0);
  // The list's keys (cursor moves, Enter marks) reach it while it has the
  // focus; every other key goes on to the system, which turns the menu key
  // and Shift+F10 into the list's keyboard popup.
  ScrollBox00.OnKeyDown = [this](int key) {
    switch (key) {
      case kVkReturn: case kVkEscape: case kVkPrior: case kVkNext:
      case kVkEnd: case kVkHome: case kVkUp: case kVkDown:
        return fList != nullptr && fList->ProcessKeyboardInput(static_cast<uint32_t>(key), 0);
      default:
        return false;
    }
  };
  // The memo's colours (light grey on dark grey) are the binding's to draw.
  const std::string exe = fPlatform.HostExecutablePath ? fPlatform.HostExecutablePath() : std::string();
  fHostDir = DirectoryOf(exe);
  fSettings = std::make_unique<TSettingsManager>();
  fImageTempName = fHostDir + kImageTempFileName;
  for (TButton* b : {&ReadPartitionBtn, &FlashSelectedBtn, &ReadSelectedBtn, &EraseSelectedBtn}) {
    Idle(*b).IdleCaption = b->Caption();
    Idle(*b).IdleImageIndex = b->ImageIndex();
  }
}

void TQualcommForm::FormShow() { CreateList.SetFocus(); }

void TQualcommForm::LayoutControls() {
  const int w = Form.ClientWidth, h = Form.ClientHeight;
  const int lowerTop = h - kStatusBarHeight - kSpaceV - kLowerAreaHeight;
  GroupBox2.SetBounds(kSpaceH, kSpaceV, w - 2 * kSpaceH, lowerTop - 2 * kSpaceV);
  PartitionsListMainPanel.SetBounds(GroupBox2.Left() + 8, GroupBox2.Top() + 16, GroupBox2.Width() - 16,
                                    GroupBox2.Height() - 24);
  // Inside the panel: the header on top, the scroll bar at the right, the
  // scroll box with its paint box below. A bound list lays these out itself
  // (the scroll bar comes and goes with the row count).
  if (!ScrollBox00.Binding()) {
    const TWidget& p = PartitionsListMainPanel;
    HeaderControl00.SetBounds(1, 1, p.Width() - 2 - kScrollBarWidth, kHeaderHeight);
    ScrollBar00.SetBounds(p.Width() - 1 - kScrollBarWidth, 1, kScrollBarWidth, p.Height() - 2);
    ScrollBox00.SetBounds(1, 1 + kHeaderHeight, p.Width() - 2 - kScrollBarWidth, p.Height() - 2 - kHeaderHeight);
    PaintBox00.SetBounds(0, 0, ScrollBox00.Width(), ScrollBox00.Height());
  }

  const int memoGroupWidth = w - 3 * kSpaceH - kButtonsGroupWidth;
  MemoGroupBox.SetBounds(kSpaceH, lowerTop, memoGroupWidth, kLowerAreaHeight);
  ButtonsGroupBox.SetBounds(w - kSpaceH - kButtonsGroupWidth, lowerTop, kButtonsGroupWidth, kLowerAreaHeight);
  const int x = MemoGroupBox.Left() + kMemoLeft;
  int y = lowerTop + kMemoTop;
  MyMemo.SetBounds(x, y, MyMemo.Width(), kMemoHeight);
  y += kMemoHeight + 8;
  ImageNameLabel.SetBounds(x, y, 200, 14);
  y += 16;
  ImageName.SetBounds(x, y, ImageName.Width(), kEditHeight);
  Panel6.SetBounds(Panel6.Left(), y + 2, 23, kEditHeight - 4);
  SelectImageFile.SetBounds(Panel6.Left() + 1, y + 2, 21, 16);
  y += kEditHeight + 8;
  GaugePanel.SetBounds(x, y, GaugePanel.Width(), kGaugeHeight + 2);
  MyGauge.SetBounds(x + 1, y + 1, GaugePanel.Width() - 2, kGaugeHeight);
  y += kGaugeHeight + 2 + 10;
  EnableECCBtn.SetBounds(x, y, 200, 17);
  No4KBAdjust.SetBounds(x + 220, y, 320, 17);

  const int bx = ButtonsGroupBox.Left() + (kButtonsGroupWidth - kButtonWidth) / 2;
  int by = lowerTop + 16;
  for (TButton* b : {&ReadSelectedBtn, &FlashSelectedBtn, &EraseSelectedBtn, &CheckBlanks, &InvertSelectedBtn,
                     &ShowHideHexBtn, &CreateList, &ReadPartitionBtn}) {
    b->SetBounds(bx, by, kButtonWidth, kButtonHeight);
    by += kButtonHeight + 17;
  }
  MyStatus.SetBounds(0, h - kStatusBarHeight, w, kStatusBarHeight);
}

void TQualcommForm::FormResize() {
  LayoutControls();
  // The memo fills its group box; gauge and file name follow the memo.
  MyMemo.SetBounds(MyMemo.Left(), MyMemo.Top(), MemoGroupBox.Width() - 2 * kMemoLeft - 2, MyMemo.Height());
  GaugePanel.SetBounds(GaugePanel.Left(), GaugePanel.Top(), MyMemo.Width(), GaugePanel.Height());
  MyGauge.SetBounds(MyGauge.Left(), MyGauge.Top(), GaugePanel.Width() - 2, MyGauge.Height());
  ImageName.SetBounds(ImageName.Left(), ImageName.Top(), MyMemo.Width(), ImageName.Height());
  // The "..." button sits inside the right end of the edit box.
  Panel6.SetBounds(ImageName.Left() + ImageName.Width() - Panel6.Width() - 2, Panel6.Top(), Panel6.Width(),
                   Panel6.Height());
  SelectImageFile.SetBounds(Panel6.Left() + 1, SelectImageFile.Top(), SelectImageFile.Width(),
                            SelectImageFile.Height());
  MyStatus.SetPanelWidth(0, Form.Width() - MyStatus.PanelWidth(1) - MyStatus.PanelWidth(2) - 50);
}

void TQualcommForm::FormClose() {
  SaveSettings();
  if (HexWindow.Visible()) HexWindow.SetVisible(false);
  // Data read from the phone may exist nowhere else: while the working image
  // is the loaded image it stays, and the list and hex views stay valid for
  // the next showing. It goes when another image is loaded or at unload.
  if (!WorkingImageIsLoaded()) DeleteWorkingImage();
}

void TQualcommForm::ReadSettings() {
  TSettingsManager& s = *fSettings;
  s.SetSettingsInFile(false);
  s.SetSettingsPath(kSettingsPath);
  s.SetSettingsName(kSettingsName);
  // Any failure, an error of the registry included, restores nothing.
  if (!TryReadSettings(s)) return;
  std::string v;
  if (s.GetParameterValue("SOURCE_FILE", v)) ImageName.SetText(v);
  int left = Form.Left(), top = Form.Top(), width = Form.Width(), height = Form.Height();
  int n = 0;
  if (s.GetParameterValue("FORM_X", v) && ParseInt(v, n)) left = n;
  if (s.GetParameterValue("FORM_Y", v) && ParseInt(v, n)) top = n;
  if (s.GetParameterValue("FORM_W", v) && ParseInt(v, n)) width = n;
  if (s.GetParameterValue("FORM_H", v) && ParseInt(v, n)) height = n;
  Form.SetBounds(left, top, width, height);
  left = HexWindow.Left(), top = HexWindow.Top(), width = HexWindow.Width(), height = HexWindow.Height();
  if (s.GetParameterValue("HEXFORM_X", v) && ParseInt(v, n)) left = n;
  if (s.GetParameterValue("HEXFORM_Y", v) && ParseInt(v, n)) top = n;
  if (s.GetParameterValue("HEXFORM_W", v) && ParseInt(v, n)) width = n;
  if (s.GetParameterValue("HEXFORM_H", v) && ParseInt(v, n)) height = n;
  HexWindow.SetBounds(left, top, width, height);
  bool checked = false;
  if (s.GetParameterValue("ADJUST_4KB", v) && ParseBool(v, checked)) No4KBAdjust.SetChecked(checked);
  for (size_t i = 0; i < HeaderControl00.Sections().size(); ++i) {
    if (s.GetParameterValue("HEADER00_WIDTH" + std::to_string(i), v) && ParseInt(v, n))
      HeaderControl00.SetSectionWidth(i, n);
  }
}

void TQualcommForm::SaveSettings() {
  TSettingsManager& s = *fSettings;
  s.SetParameterValue("SOURCE_FILE", ImageName.Text());
  s.SetParameterValue("FORM_X", std::to_string(Form.Left()));
  s.SetParameterValue("FORM_Y", std::to_string(Form.Top()));
  s.SetParameterValue("FORM_W", std::to_string(Form.Width()));
  s.SetParameterValue("FORM_H", std::to_string(Form.Height()));
  s.SetParameterValue("HEXFORM_X", std::to_string(HexWindow.Left()));
  s.SetParameterValue("HEXFORM_Y", std::to_string(HexWindow.Top()));
  s.SetParameterValue("HEXFORM_W", std::to_string(HexWindow.Width()));
  s.SetParameterValue("HEXFORM_H", std::to_string(HexWindow.Height()));
  s.SetParameterValue("ADJUST_4KB", No4KBAdjust.Checked() ? "-1" : "0");
  for (size_t i = 0; i < HeaderControl00.Sections().size(); ++i)
    s.SetParameterValue("HEADER00_WIDTH" + std::to_string(i), std::to_string(HeaderControl00.Sections()[i].Width));
  // Closing must go on whatever the registry says.
  TrySaveSettings(s);
}

// ---- rules ----------------------------------------------------------------------

void TQualcommForm::OnSelectionChange(int itemIndex, TMouseButton button, int x, int y) {
  UpdateEnabledButtons();
  if (itemIndex < 0 || static_cast<size_t>(itemIndex) >= fImage.PartitionTable.Entries.size()) {
    fHexForm.UpperView().InitializeViewData("", 0, 0);
    fHexForm.LowerView().InitializeViewData("", 0, 0);
    return;
  }
  const TPartitionExtent e = PartitionExtent(fImage.Geometry, fImage.PartitionTable.Entries[itemIndex]);
  fHexForm.UpperView().InitializeViewData(fImage.LoadedImageName, e.MainOffset, e.MainLength);
  fHexForm.LowerView().InitializeViewData(fImage.LoadedImageName, e.SpareOffset, e.SpareLength);
  // The menu's loop would hold a running command in the middle of its
  // transfer until the user closed it: while one runs, the row only moves.
  if (button != TMouseButton::mbRight || CommandRunning()) return;
  fPopupItemIndex = itemIndex;
  const std::string quoted = "\"" + fImage.Descriptors[itemIndex].PartitionName + "\" ";
  for (size_t i = 0; i < 3; ++i) {
    std::string caption = kPopupCaptions[i];
    caption.insert(std::strlen("Save "), quoted);
    MyPopup.Items[i].Caption = caption;
  }
  MyPopup.Popup(x, y);
}

void TQualcommForm::OnDoubleClick() {
  const int i = fList->ItemIndex();
  if (i < 0 || i >= fImage.PartitionItems.Count || static_cast<size_t>(i) >= fImage.Descriptors.size()) return;
  TCoolViewItem& row = fImage.PartitionItems.Items[i];
  row.Selected = !row.Selected;
  fImage.Descriptors[i].CheckedType = row.Selected ? "+" : "";
  UpdateEnabledButtons();
  fList->Repaint();
}

void TQualcommForm::InvertSelectedBtnClick() {
  const size_t n = std::min<size_t>(fImage.PartitionTable.EntriesCount,
                                    std::min(fImage.PartitionItems.Items.size(), fImage.Descriptors.size()));
  for (size_t i = 0; i < n; ++i) {
    TCoolViewItem& row = fImage.PartitionItems.Items[i];
    row.Selected = !row.Selected;
    fImage.Descriptors[i].CheckedType = row.Selected ? "+" : "";
  }
  UpdateEnabledButtons();
  fList->Repaint();
}

std::string TQualcommForm::NumberedOrSelected(const char* selected, const char* numbered, int itemIndex,
                                              bool anySelected) const {
  return anySelected ? std::string(selected) : std::string(numbered) + std::to_string(itemIndex + 1);
}

void TQualcommForm::UpdateEnabledButtons() {
  // A command's "&Stop" freezes all three until it has ended, even when the
  // cursor row goes (a click below the last row): "&Stop" is the only way to
  // end the command, so it must stay enabled. The frame runs these rules
  // again once the command is over.
  for (TButton* b : {&FlashSelectedBtn, &EraseSelectedBtn, &ReadSelectedBtn})
    if (b->Caption() != Idle(*b).IdleCaption) return;
  const int itemIndex = fList ? fList->ItemIndex() : -1;
  if (itemIndex == -1) {
    for (TButton* b : {&ReadSelectedBtn, &FlashSelectedBtn, &EraseSelectedBtn}) b->SetEnabled(false);
    return;
  }
  for (TButton* b : {&ReadSelectedBtn, &FlashSelectedBtn, &EraseSelectedBtn}) b->SetEnabled(true);
  bool anySelected = false;
  for (int i = 0; i < fImage.PartitionItems.Count && static_cast<size_t>(i) < fImage.PartitionItems.Items.size(); ++i)
    anySelected = anySelected || fImage.PartitionItems.Items[i].Selected;
  ReadSelectedBtn.SetCaption(NumberedOrSelected("Read Selected", "Read Partition", itemIndex, anySelected));
  FlashSelectedBtn.SetCaption(NumberedOrSelected("Flash Selected", "Flash Partition", itemIndex, anySelected));
  EraseSelectedBtn.SetCaption(NumberedOrSelected("Erase Selected", "Erase Partition", itemIndex, anySelected));
  for (TButton* b : {&ReadSelectedBtn, &FlashSelectedBtn, &EraseSelectedBtn}) Idle(*b).IdleCaption = b->Caption();
}

void TQualcommForm::ShowHideHexBtnClick() { HexWindow.SetVisible(!HexWindow.Visible()); }

void TQualcommForm::SelectImageFileClick() {
  // The dialog's loop would hold a running command (see OnSelectionChange).
  if (CommandRunning()) return;
  fPlatform.Pump();
  OpenDialog.Filter = "KOVRA Full Image Files |*.bin";
  OpenDialog.FilterIndex = 1;
  if (OpenDialog.Execute()) ImageName.SetText(OpenDialog.FileName);
}

void TQualcommForm::ApplyLoadFailure() {
  MyGauge.SetPosition(0);
  CreateList.SetEnabled(true);
  ReadPartitionBtn.SetEnabled(true);
  CreateList.SetFocus();
}

void TQualcommForm::CreateListClick(TSender sender) {
  if (sender == TSender::CreateList) {
    MyMemo.Clear();
    fImage.LoadedImageName = ImageName.Text();
  }
  for (TButton* b : {&CreateList, &CheckBlanks, &InvertSelectedBtn, &ReadPartitionBtn, &FlashSelectedBtn,
                     &EraseSelectedBtn, &ReadSelectedBtn})
    b->SetEnabled(false);
  ScrollBox00.SetFocus();
  fList->FreeDataFields();
  fImage.Descriptors.clear();
  TCoolItemsList& items = fImage.PartitionItems;
  items.Types.assign(std::begin(kPartitionColumnTypes), std::end(kPartitionColumnTypes));
  items.Count = 0;
  fList->SetItemIndex(-1);
  fList->Refresh();

  bool ok = false;
  try {
    ok = LoadImageFileAndProcessIt(fImage.LoadedImageName);
  } catch (...) {
    // The error is reported by the general handler; the window must stay
    // usable, so the commands that the load disabled come back first.
    ApplyLoadFailure();
    throw;
  }
  if (!ok) {
    ApplyLoadFailure();
    return;
  }
  // Another image has taken the working image's place: nothing refers to it
  // any more.
  if (sender == TSender::CreateList && !WorkingImageIsLoaded()) DeleteWorkingImage();
  fList->SetCoolItemsList(&fImage.PartitionItems);
  fList->SetItemIndex(0);
  for (TButton* b : {&InvertSelectedBtn, &CheckBlanks, &CreateList, &ReadPartitionBtn}) b->SetEnabled(true);
  MyGauge.SetPosition(0);
  fList->Refresh();
  if (sender == TSender::CreateList) CreateList.SetFocus();
  for (const std::string& line : DetectHTCPartitionMaybe(fImage.PartitionTable)) MyMemo.Add(line);
}

bool TQualcommForm::LoadImageFileAndProcessIt(const std::string& fName) {
  TImageLoadResult r = kovra::LoadImageFileAndProcessIt(fName, No4KBAdjust.Checked(), fFiles);
  for (const std::string& line : r.Log) MyMemo.Add(line);
  if (r.Geometry.BlockSize != 0 && (r.Ok || r.Failure == TImageLoadFailure::DynamicArray)) {
    MyGauge.SetPosition(0);
    MyGauge.SetMaxValue(r.GaugeMax);
  }
  // The rows move with the result; the list keeps pointing at our member.
  std::vector<uint32_t> types = std::move(fImage.PartitionItems.Types);
  fImage = std::move(r);
  if (!fImage.Ok) {
    fImage.PartitionItems = TCoolItemsList{};
    fImage.PartitionItems.Types = std::move(types);
    fImage.Descriptors.clear();
    fImage.LoadedImageName.clear();
  }
  switch (fImage.Failure) {
    case TImageLoadFailure::None:
    case TImageLoadFailure::MissingFile:
    case TImageLoadFailure::DynamicArray:
      break;
    case TImageLoadFailure::NoTable:
      fPlatform.ShowError(fImage.FailureText);
      break;
    case TImageLoadFailure::FileError:
      throw TFileError(fImage.FailureText);
  }
  return fImage.Ok;
}

// ---- export commands ------------------------------------------------------------

TExportContext TQualcommForm::ExportContext() {
  TExportContext ctx;
  ctx.LoadedImageName = fImage.LoadedImageName;
  ctx.Geometry = fImage.Geometry;
  ctx.Hooks = &fExportHooks;
  ctx.TransferBuffer = &fTransferBuffer;
  ctx.Opener = &fFiles;
  ctx.Creator = fCreator;
  return ctx;
}

void TQualcommForm::SavePartitionDataIntoFile(bool saveMain, bool saveRedu) {
  fPlatform.Pump();
  SaveDialog.DefaultExt.clear();
  SaveDialog.Filter = "Partition Name Prefix|";
  SaveDialog.FilterIndex = 1;
  if (!SaveDialog.Execute()) return;
  // The menu opened on a row of the list as it was then; a rebuilt list may
  // be shorter.
  if (fPopupItemIndex < 0 || static_cast<size_t>(fPopupItemIndex) >= fImage.PartitionTable.Entries.size()) return;
  kovra::SavePartitionDataIntoFile(ExportContext(), fImage.PartitionTable, fImage.Descriptors,
                                   static_cast<size_t>(fPopupItemIndex), saveMain, saveRedu, SaveDialog.FileName);
}

void TQualcommForm::SaveAllPartitionsDataIntoFile(bool saveMain, bool saveRedu) {
  fPlatform.Pump();
  SaveDialog.DefaultExt.clear();
  SaveDialog.Filter = "All Files Group Name Prefix|";
  SaveDialog.FilterIndex = 1;
  if (!SaveDialog.Execute()) return;
  kovra::SaveAllPartitionsDataIntoFile(ExportContext(), fImage.PartitionTable, fImage.Descriptors, saveMain,
                                       saveRedu, SaveDialog.FileName);
}

void TQualcommForm::SaveAsImageFileIemClick() {
  fPlatform.Pump();
  SaveDialog.Filter = "KOVRA BOX FullFlash Image Files |*.bin";
  SaveDialog.FilterIndex = 1;
  SaveDialog.DefaultExt = "bin";
  if (!SaveDialog.Execute()) return;
  SaveAsImageFile(ExportContext(), SaveDialog.FileName);
}

void TQualcommForm::CheckBlanksClick() { kovra::CheckBlanks(ExportContext(), fImage.PartitionTable, fImage.Descriptors); }

void TQualcommForm::TFormExportHooks::SetGaugeMax(int64_t max) {
  fForm.MyGauge.SetMaxValue(static_cast<int>(std::min<int64_t>(max, INT32_MAX)));
}
void TQualcommForm::TFormExportHooks::SetGaugePosition(int64_t position) {
  fForm.MyGauge.SetPosition(static_cast<int>(std::min<int64_t>(position, INT32_MAX)));
}
void TQualcommForm::TFormExportHooks::StepGauge(int64_t delta) {
  fForm.MyGauge.SetPosition(static_cast<int>(std::min<int64_t>(fForm.MyGauge.Position() + delta, INT32_MAX)));
}
void TQualcommForm::TFormExportHooks::ProcessMessages() { fForm.fPlatform.Pump(); }
void TQualcommForm::TFormExportHooks::AppendLogLine(const std::string& line) { fForm.MyMemo.Add(line); }
void TQualcommForm::TFormExportHooks::AppendToLastLogLine(const std::string& text) {
  fForm.MyMemo.AppendToLastLine(text);
}
void TQualcommForm::TFormExportHooks::ReplaceLastLogLine(const std::string& line) {
  fForm.MyMemo.ReplaceLastLine(line);
}
void TQualcommForm::TFormExportHooks::SetStatusText(const std::string& text) {
  fForm.MyStatus.SetPanelText(0, text);
}
void TQualcommForm::TFormExportHooks::Wait(uint32_t milliseconds) {
  if (fForm.fPlatform.Sleep) fForm.fPlatform.Sleep(milliseconds);
}

}  // namespace kovra
