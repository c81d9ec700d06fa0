#pragma once
// The module's main window, TQualcommForm, as a model: its widgets, its
// state (the loaded image, its table, descriptors and list rows), its
// lifecycle, its settings and the rules that tie the list's cursor row and
// selection marks to the buttons, the popup menu and the hex window. The
// Windows layer binds every widget to a real control; native tests drive the
// widgets directly.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceCommands.h"
#include "device/HostServices.h"
#include "export/ExportHooks.h"
#include "image/ImageLoad.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
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
  // Where the commands create and write files (the real file system unless
  // a test hands in another).
  TFileCreator& Creator() { return *fCreator; }
  void SetFileCreator(TFileCreator& creator) { fCreator = &creator; }

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

  // ---- host --------------------------------------------------------------
  // Set by the platform before the window shows. Null services: there is no
  // host, and every service fails. The stop byte is the host's; without one
  // the form keeps its own, so that the frame still works.
  void SetHostServices(THostServices* services) { fHostServices = services; }
  THostServices* HostServices() const { return fHostServices; }
  void SetHostStopFlag(uint8_t* flag) { fHostStopFlag = flag; }
  uint8_t* HostStopFlag() { return fHostStopFlag ? fHostStopFlag : &fOwnStopFlag; }
  // The 76-byte plug-in descriptor that ConnectDevice and every write
  // request carry (all zero until set).
  void SetPluginDescriptor(const uint8_t* descriptor) { fPluginDescriptor = descriptor; }
  const uint8_t* PluginDescriptor() const;
  // The progress gauge as the host knows it (passed to reads and writes).
  void SetHostGauge(THostHandle gauge) { fHostGauge = gauge; }
  THostHandle HostGauge() const { return fHostGauge; }
  // The host's texts for status bar panels 0 to 2; other panels are ignored.
  void StatusTextCallback(uint32_t panel, const std::string& text);
  TDeviceCommands& DeviceCommands() { return *fDevice; }
  // While a device command (or a save or blank check) runs, the controls
  // that would rebuild the list or replace the loaded image do nothing.
  bool CommandRunning() const { return fDevice->RunningButton() != nullptr || fExportRunning > 0; }

  // The popup items' designed captions.
  static const std::array<const char*, 9> kPopupCaptions;

  // Whether the loaded image is the working image (any spelling of it).
  bool WorkingImageIsLoaded() const;
  // Deletes the working image file, if there is one.
  void DeleteWorkingImage();

 private:
  void LayoutControls();
  void ApplyLoadFailure();
  void DeviceButtonClick(TButton& button, int fIndex);
  // Runs an export command unless another command runs.
  void ExportCommand(const std::function<void()>& command);
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
  TFileCreator* fCreator = &DefaultFileCreator();
  THostServices* fHostServices = nullptr;
  uint8_t* fHostStopFlag = nullptr;
  uint8_t fOwnStopFlag = 0;
  const uint8_t* fPluginDescriptor = nullptr;
  THostHandle fHostGauge = 0;
  std::unique_ptr<TDeviceCommands> fDevice;
  int fExportRunning = 0;
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
