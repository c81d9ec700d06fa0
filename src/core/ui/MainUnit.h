#pragma once
// The module's main window, TQualcommForm, as a model: its widgets, its
// state (the loaded image, its table, descriptors and list rows), its
// lifecycle, its settings and the rules that tie the list's cursor row and
// selection marks to the buttons, the popup menu and the hex window. The
// Windows layer binds every widget to a real control; native tests drive the
// widgets directly.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/ExportHooks.h"
#include "image/ImageLoad.h"
#include "platform/FileReader.h"
#include "platform/Services.h"
#include "settings/SettsMng.h"
#include "ui/Controls.h"
#include "ui/CoolListView.h"
#include "ui/HexWindowUnit.h"
#include "ui/Widgets.h"

namespace kovra {

inline constexpr char kMainFormCaption[] = "Processing Qualcomm KOVRA Full Image Files. Plugin Version 1.06";
inline constexpr int kMainFormClientWidth = 1030;
inline constexpr int kMainFormClientHeight = 594;
inline constexpr int kMainFormMinWidth = 720;
inline constexpr int kMainFormMinHeight = 600;
inline constexpr int kLowerAreaHeight = 347;
inline constexpr int kButtonsGroupWidth = 174;
inline constexpr int kStatusBarHeight = 19;

inline constexpr char kSettingsPath[] = "Software\\Mervik";
inline constexpr char kSettingsName[] = "KOVRAPlugin_QualcommTool_Settings";
inline constexpr char kImageTempFileName[] = "$tQcmImage.$$$";

// Glyph indices of the command buttons and of "&Stop".
inline constexpr int kGlyphGetPartitions = 42;
inline constexpr int kGlyphFlashSelected = 12;
inline constexpr int kGlyphReadSelected = 3;
inline constexpr int kGlyphEraseSelected = 9;
inline constexpr int kGlyphStop = 20;
inline constexpr int kGlyphCheckBlanks = 30;
inline constexpr int kGlyphInvert = 31;
inline constexpr int kGlyphShowHideHex = 32;
inline constexpr int kGlyphCreateList = 33;
inline constexpr int kGlyphSelectFile = 34;
inline constexpr int kGlyphCount = 43;

// The window itself: its outer rectangle and caption.
class TForm : public TWidget {
 public:
  std::string Caption;
  int ClientWidth = kMainFormClientWidth;
  int ClientHeight = kMainFormClientHeight;
};

class TQualcommForm {
 public:
  // The hex window is created right after the main window and handed in.
  TQualcommForm(TPlatformServices& platform, THexForm& hexForm,
                TFileOpener& files = DefaultFileOpener());
  ~TQualcommForm();
  TQualcommForm(const TQualcommForm&) = delete;
  TQualcommForm& operator=(const TQualcommForm&) = delete;

  // ---- lifecycle --------------------------------------------------------
  void FormCreate();
  void FormShow();
  // Lays the widgets out for the current client area and applies the four
  // width rules.
  void FormResize();
  void FormClose();
  void ReadSettings();
  void SaveSettings();

  // ---- rules and commands -------------------------------------------------
  void OnSelectionChange(int itemIndex, TMouseButton button, int x, int y);
  void OnDoubleClick();
  void InvertSelectedBtnClick();
  void UpdateEnabledButtons();
  void ShowHideHexBtnClick();
  void SelectImageFileClick();
  enum class TSender { CreateList, ReadPartitionBtn };
  void CreateListClick(TSender sender);
  bool LoadImageFileAndProcessIt(const std::string& fName);

  // Popup menu and "Check for Blank": the export commands over the loaded
  // image, reporting through the window's gauge, log and status bar.
  void SavePartitionDataIntoFile(bool saveMain, bool saveRedu);
  void SaveAllPartitionsDataIntoFile(bool saveMain, bool saveRedu);
  void SaveAsImageFileIemClick();
  void CheckBlanksClick();
  TExportContext ExportContext();

  // The general error handler: an error that ends a command is shown in a
  // message box, and the window is made usable again.
  template <typename F>
  void Guarded(F&& command);

  // ---- widgets ------------------------------------------------------------
  TForm Form;
  TWidget GroupBox2;                // " Partition Table "
  TWidget PartitionsListMainPanel;  // the sunken panel around the list
  THeaderControl HeaderControl00;
  TScrollBox ScrollBox00;
  TPaintBox PaintBox00;
  TScrollBar ScrollBar00;
  TWidget MemoGroupBox;
  TWidget ButtonsGroupBox;
  TMemo MyMemo;
  TWidget ImageNameLabel;  // "Source Image File Name:"
  TEdit ImageName;
  TWidget Panel6;  // holds the "..." button inside the edit's right end
  TButton SelectImageFile;
  TWidget GaugePanel;
  TGauge MyGauge;
  TCheckBox EnableECCBtn;
  TCheckBox No4KBAdjust;
  TButton ReadSelectedBtn, FlashSelectedBtn, EraseSelectedBtn, CheckBlanks, InvertSelectedBtn,
      ShowHideHexBtn, CreateList, ReadPartitionBtn;
  TStatusBar MyStatus;
  TPopupMenu MyPopup;
  TFileDialog SaveDialog;
  TFileDialog OpenDialog;

  // Buttons in tab order.
  std::vector<TButton*> TabOrder();

  // ---- state --------------------------------------------------------------
  TCoolListView& List() { return *fList; }
  THexForm& HexForm() { return fHexForm; }
  TSettingsManager& Settings() { return *fSettings; }
  TPlatformServices& Platform() { return fPlatform; }
  TFileOpener& Files() { return fFiles; }

  const ImageGeometry& Geometry() const { return fImage.Geometry; }
  TQualcomMIBIB& PartitionTable() { return fImage.PartitionTable; }
  std::vector<TPartitionDescriptor>& Descriptors() { return fImage.Descriptors; }
  TCoolItemsList& PartitionItems() { return fImage.PartitionItems; }
  const std::string& LoadedImageName() const { return fImage.LoadedImageName; }
  void SetLoadedImageName(const std::string& name) { fImage.LoadedImageName = name; }
  const std::string& HostDir() const { return fHostDir; }
  const std::string& ImageTempName() const { return fImageTempName; }
  int PopupItemIndex() const { return fPopupItemIndex; }

  struct TIdleState {
    std::string IdleCaption;
    int IdleImageIndex = -1;
  };
  // ReadPartitionBtn, FlashSelectedBtn, ReadSelectedBtn, EraseSelectedBtn.
  TIdleState& Idle(const TButton& button);

  // Whether the hex window shows; the platform binds it to the real window.
  TWidget HexWindow;
  std::vector<uint8_t>& TransferBuffer() { return fTransferBuffer; }

  // The popup items' designed captions.
  static const std::array<const char*, 9> kPopupCaptions;

 private:
  void LayoutControls();
  void ApplyLoadFailure();
  std::string NumberedOrSelected(const char* selected, const char* numbered, int itemIndex,
                                 bool anySelected) const;

  class TFormExportHooks : public TExportHooks {
   public:
    explicit TFormExportHooks(TQualcommForm& form) : fForm(form) {}
    void SetGaugeMax(int64_t max) override;
    void SetGaugePosition(int64_t position) override;
    void StepGauge(int64_t delta) override;
    void ProcessMessages() override;
    void AppendLogLine(const std::string& line) override;
    void AppendToLastLogLine(const std::string& text) override;
    void ReplaceLastLogLine(const std::string& line) override;
    void SetStatusText(const std::string& text) override;
    void Wait(uint32_t milliseconds) override;

   private:
    TQualcommForm& fForm;
  };

  TPlatformServices& fPlatform;
  THexForm& fHexForm;
  TFormExportHooks fExportHooks{*this};
  std::vector<uint8_t> fTransferBuffer;
  TFileOpener& fFiles;
  std::unique_ptr<TCoolListView> fList;
  std::unique_ptr<TSettingsManager> fSettings;
  TImageLoadResult fImage;
  std::string fHostDir;
  std::string fImageTempName;
  int fPopupItemIndex = -1;
  std::array<TIdleState, 4> fIdle;
};

template <typename F>
void TQualcommForm::Guarded(F&& command) {
  try {
    command();
  } catch (const std::exception& e) {
    fPlatform.ShowError(e.what());
  } catch (...) {
    fPlatform.ShowError("Unexpected error.");
  }
}

}  // namespace kovra
