#pragma once
// Widget models of the main window's standard controls. Like the scroll
// views' widgets they hold the whole state; a binding pushes each change into
// the real control, and the control's events call the On* members.
#include <functional>
#include <string>
#include <vector>

#include "ui/Widgets.h"

namespace kovra {

// A push button with a caption (an ampersand marks the access key) and a
// glyph from the window's image list.
class TButton : public TWidget {
 public:
  const std::string& Caption() const { return fCaption; }
  void SetCaption(const std::string& caption);
  int ImageIndex() const { return fImageIndex; }
  void SetImageIndex(int index);
  std::function<void()> OnClick;
  // A press by the user (or a test): nothing happens while disabled.
  void Click() {
    if (Enabled() && Visible() && OnClick) OnClick();
  }

 private:
  std::string fCaption;
  int fImageIndex = -1;
};

// Where a push button's glyph and caption go, in pixels from the button's
// left edge. Both are centred together with a gap between them while the
// caption fits; a longer caption first gets a narrower gap and the room up
// to the face's edges. When even that is too little, the caption wins over
// the glyph: it shows whole, without the glyph, whenever the face can hold
// it. Only a caption wider than the face is cut (beside its glyph).
struct TGlyphButtonLayout {
  int GlyphLeft = 0;
  int TextLeft = 0;
  int TextRight = 0;  // exclusive; the caption is clipped there
  bool ShowGlyph = true;
  bool CaptionFits = true;
};
inline constexpr int kButtonFaceEdge = 2;  // the push frame's border
inline constexpr int kButtonMargin = 3;    // the room kept beside centred content
inline constexpr int kButtonGlyphGap = 4;
TGlyphButtonLayout LayoutGlyphButton(int buttonWidth, int glyphWidth, int textWidth);

class TCheckBox : public TWidget {
 public:
  std::string Caption;
  bool Checked() const { return fChecked; }
  void SetChecked(bool checked);
  // The user toggled the real control.
  void PlatformChecked(bool checked) { fChecked = checked; }

 private:
  bool fChecked = false;
};

// A one-line edit box.
class TEdit : public TWidget {
 public:
  const std::string& Text() const { return fText; }
  void SetText(const std::string& text);
  void PlatformText(const std::string& text) { fText = text; }

 private:
  std::string fText;
};

// The log: a multi-line, read-only memo of lines. The host appends to the
// same control, so a bound memo reads its lines back from it.
class TMemo : public TWidget {
 public:
  class Source {
   public:
    virtual ~Source() = default;
    virtual std::vector<std::string> Lines() = 0;
  };
  void Clear();
  void Add(const std::string& line);
  // Appends text to the last line (a new line when there is none).
  void AppendToLastLine(const std::string& text);
  // Replaces the last line (a new line when there is none).
  void ReplaceLastLine(const std::string& line);
  std::vector<std::string> Lines() const;
  // The binding keeps the real text; unbound the model keeps it.
  void SetSource(Source* source) { fSource = source; }

  // What the binding must do for the last change.
  enum class TMemoOp { Clear, Add, Append, Replace };
  TMemoOp LastOp() const { return fLastOp; }
  const std::string& LastText() const { return fLastText; }

 private:
  void Apply(TMemoOp op, const std::string& text);
  std::vector<std::string> fLines;
  Source* fSource = nullptr;
  TMemoOp fLastOp = TMemoOp::Clear;
  std::string fLastText;
};

// The progress gauge. The host drives the same control directly, so a bound
// gauge reads back through the binding.
class TGauge : public TWidget {
 public:
  int Position() const;
  int MaxValue() const;
  void SetPosition(int position);
  void SetMaxValue(int maxValue);
  void AddProgress(int delta) { SetPosition(Position() + delta); }
  std::function<int()> PlatformPosition;  // installed by the binding
  std::function<int()> PlatformMaxValue;

 private:
  int fPosition = 0;
  int fMaxValue = 100;
};

class TStatusBar : public TWidget {
 public:
  TStatusBar();
  size_t PanelCount() const { return fTexts.size(); }
  const std::string& PanelText(size_t panel) const;
  void SetPanelText(size_t panel, const std::string& text);
  int PanelWidth(size_t panel) const;
  void SetPanelWidth(size_t panel, int width);
  size_t LastChangedPanel() const { return fLastPanel; }

 private:
  std::vector<std::string> fTexts;
  std::vector<int> fWidths;
  size_t fLastPanel = 0;
};

struct TMenuItem {
  std::string Caption;  // "-" is a separator
  bool Enabled = true;
  std::function<void()> OnClick;
};

class TPopupMenu {
 public:
  std::vector<TMenuItem> Items;
  // Opens the menu at a screen position; the platform shows it and calls
  // the chosen item's OnClick. Unbound, the open is only recorded.
  void Popup(int x, int y);
  std::function<void(TPopupMenu&, int x, int y)> OnPopup;
  int PopupCount = 0;
  TPoint LastPopupAt;
  void Click(size_t item) {
    if (item < Items.size() && Items[item].Enabled && Items[item].OnClick) Items[item].OnClick();
  }
};

// An open or save dialog. Execute asks the platform (or a test's script)
// for a file name; true when the user chose one.
class TFileDialog {
 public:
  std::string Filter;  // "Description|*.ext" pairs
  int FilterIndex = 1;
  std::string FileName;
  std::string Title;
  std::string DefaultExt;  // given to a name typed without an extension
  bool OverwritePrompt = false;
  bool Save = false;
  std::function<bool(TFileDialog&)> Executor;
  bool Execute() { return Executor ? Executor(*this) : false; }
};

}  // namespace kovra
