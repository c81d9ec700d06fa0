#include "MainWindow.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "Gauge.h"
#include "Glyphs.h"
#include "WinText.h"

namespace kovra::win {
namespace {

constexpr COLORREF kMemoBack = 0x404040;
constexpr COLORREF kMemoText = 0xE0E0E0;
// No WS_CLIPCHILDREN: the group boxes paint only their frames, so the
// window itself paints the background under them.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;

// Tahoma 8 point as designed, that is 11 pixels: the window keeps its
// designed pixel layout at every screen DPI, and its text must fit it (a
// point size would grow with the DPI inside controls that do not).
constexpr int kMainFontPixels = 11;

// Controls of our own making get IDs from here (the dialog manager finds a
// default button by its ID); 1 and 2 stay free, they are IDOK and IDCANCEL.
constexpr int kIdFirstControl = 1200;

std::wstring WindowText(HWND h) {
  const int n = GetWindowTextLengthW(h);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(n));
  return s;
}

// A standard control bound to a widget model; the subclasses add what the
// control's kind needs.
class TStdControl : public TWinControl {
 public:
  TStdControl(TWidget& model, HWND parent, const wchar_t* cls, DWORD style, DWORD exStyle, HFONT font,
              const std::string& text = {})
      : TWinControl(model) {
    Create(exStyle, cls, style, parent);
    if (fWnd) {
      SendMessageW(fWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      if (!text.empty()) SetWindowTextW(fWnd, Widen(text).c_str());
    }
  }
  // WM_COMMAND notifications from the control.
  virtual void Command(WORD) {}
};

class TButtonControl : public TStdControl {
 public:
  TButtonControl(TButton& model, HWND parent, HFONT font, DWORD style)
      : TStdControl(model, parent, L"BUTTON", style | WS_TABSTOP | BS_NOTIFY, 0, font, model.Caption()),
        fButton(model) {
    if (fWnd) SetWindowSubclass(fWnd, &TButtonControl::Subclass, 0, 0);
  }
  ~TButtonControl() override {
    if (fWnd && IsWindow(fWnd)) RemoveWindowSubclass(fWnd, &TButtonControl::Subclass, 0);
  }
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what == TWidgetChange::Text) SetWindowTextW(fWnd, Widen(fButton.Caption()).c_str());
    else if (what == TWidgetChange::State) InvalidateRect(fWnd, nullptr, FALSE);
    else TStdControl::Changed(w, what);
  }
  void Command(WORD code) override {
    // A double click is two clicks to whoever presses a command button
    // twice ("Invert Selection" twice, "&Stop" twice).
    if (code == BN_CLICKED || code == BN_DOUBLECLICKED) fButton.Click();
    else if (code == BN_SETFOCUS) fButton.PlatformFocus(true);
    else if (code == BN_KILLFOCUS) fButton.PlatformFocus(false);
  }
  TButton& Model() { return fButton; }

 private:
  // The second press of a quick pair arrives as a double click, which an
  // owner-drawn or notifying button reports as BN_DOUBLECLICKED without
  // pushing in. Here it is a press like the first: the face goes down and
  // the release clicks.
  static LRESULT CALLBACK Subclass(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;
    return DefSubclassProc(wnd, msg, wp, lp);
  }
  TButton& fButton;
};

class TCheckBoxControl : public TStdControl {
 public:
  TCheckBoxControl(TCheckBox& model, HWND parent, HFONT font)
      : TStdControl(model, parent, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, font, model.Caption),
        fBox(model) {
    SendMessageW(fWnd, BM_SETCHECK, model.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what == TWidgetChange::State) SendMessageW(fWnd, BM_SETCHECK, fBox.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    else TStdControl::Changed(w, what);
  }
  void Command(WORD code) override {
    if (code == BN_CLICKED) fBox.PlatformChecked(SendMessageW(fWnd, BM_GETCHECK, 0, 0) == BST_CHECKED);
  }

 private:
  TCheckBox& fBox;
};

class TEditControl : public TStdControl {
 public:
  TEditControl(TEdit& model, HWND parent, HFONT font)
      : TStdControl(model, parent, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, font, model.Text()),
        fEdit(model) {}
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what == TWidgetChange::Text) {
      fPushing = true;
      SetWindowTextW(fWnd, Widen(fEdit.Text()).c_str());
      fPushing = false;
    } else {
      TStdControl::Changed(w, what);
    }
  }
  void Command(WORD code) override {
    if (code == EN_CHANGE && !fPushing) fEdit.PlatformText(Narrow(WindowText(fWnd)));
  }

 private:
  TEdit& fEdit;
  bool fPushing = false;
};

// The log. The host appends to the same EDIT, so its lines are read back
// from the control; every line ends with CR LF, as a memo's lines do.
//
// A multi-line EDIT that the dialog manager has asked for its keys takes
// itself for a dialog's control: Esc then closes its parent (which, during a
// device command, asks the host to stop), Tab and Enter go to the parent as
// dialog messages. The log is read, never typed into: it takes the keys that
// move through it and copy from it, and leaves Tab, Enter and Esc to the
// window, under any message loop (the host's too, while it works).
class TMemoControl : public TStdControl, public TMemo::Source {
 public:
  TMemoControl(TMemo& model, HWND parent, HFONT font)
      : TStdControl(model, parent, L"EDIT",
                    ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_TABSTOP | ES_NOHIDESEL,
                    WS_EX_CLIENTEDGE, font),
        fMemo(model) {
    SendMessageW(fWnd, EM_SETLIMITTEXT, 0, 0);
    if (fWnd) SetWindowSubclass(fWnd, &TMemoControl::Subclass, 0, 0);
    model.SetSource(this);
  }
  ~TMemoControl() override {
    fMemo.SetSource(nullptr);
    if (fWnd && IsWindow(fWnd)) RemoveWindowSubclass(fWnd, &TMemoControl::Subclass, 0);
  }
  std::vector<std::string> Lines() override {
    const std::string text = Narrow(WindowText(fWnd));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        lines.push_back(text.substr(start));
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what != TWidgetChange::Text) {
      TStdControl::Changed(w, what);
      return;
    }
    const std::wstring text = WindowText(fWnd);
    const bool endsWithBreak = text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0;
    const size_t lastEnd = endsWithBreak ? text.size() - 2 : text.size();
    switch (fMemo.LastOp()) {
      case TMemo::TMemoOp::Clear:
        SetWindowTextW(fWnd, L"");
        return;
      case TMemo::TMemoOp::Add:
        Replace(text.size(), text.size(), (text.empty() || endsWithBreak ? L"" : L"\r\n") + Widen(fMemo.LastText()) + L"\r\n");
        return;
      case TMemo::TMemoOp::Append:
        Replace(lastEnd, lastEnd, Widen(fMemo.LastText()) + (text.empty() ? L"\r\n" : L""));
        return;
      case TMemo::TMemoOp::Replace: {
        const size_t prev = lastEnd == 0 ? std::wstring::npos : text.rfind(L"\r\n", lastEnd - 1);
        const size_t lineStart = prev == std::wstring::npos ? 0 : prev + 2;
        Replace(lineStart, lastEnd, Widen(fMemo.LastText()) + (text.empty() ? L"\r\n" : L""));
        // The progress line is watched: show it at once.
        UpdateWindow(fWnd);
        return;
      }
    }
  }

 private:
  static LRESULT CALLBACK Subclass(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    switch (msg) {
      case WM_GETDLGCODE:
        // Asked without the message, so that the control never turns to its
        // dialog behaviour; all keys but Tab, Enter and Esc.
        return DefSubclassProc(wnd, msg, wp, 0) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
      case WM_KEYDOWN:
        if (wp == VK_ESCAPE || wp == VK_RETURN) return 0;
        if (wp == VK_TAB) {
          // A loop without the dialog manager: move on as it would.
          HWND parent = GetParent(wnd);
          if (HWND next = GetNextDlgTabItem(parent, wnd, GetKeyState(VK_SHIFT) < 0)) SetFocus(next);
          return 0;
        }
        break;
      case WM_CHAR:
        if (wp == VK_ESCAPE || wp == VK_RETURN || wp == VK_TAB) return 0;
        break;
    }
    return DefSubclassProc(wnd, msg, wp, lp);
  }
  void Replace(size_t from, size_t to, const std::wstring& with) {
    SendMessageW(fWnd, EM_SETSEL, from, to);
    SendMessageW(fWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(with.c_str()));
    SendMessageW(fWnd, EM_SCROLLCARET, 0, 0);
  }
  TMemo& fMemo;
};

class TGaugeControl : public TStdControl {
 public:
  TGaugeControl(TGauge& model, HWND parent, HFONT font)
      : TStdControl(model, parent, kGaugeClass, 0, 0, font), fGauge(model) {
    SendMessageW(fWnd, PBM_SETRANGE32, 0, model.MaxValue());
    SendMessageW(fWnd, PBM_SETPOS, model.Position(), 0);
    HWND wnd = fWnd;
    model.PlatformPosition = [wnd] { return static_cast<int>(SendMessageW(wnd, PBM_GETPOS, 0, 0)); };
    model.PlatformMaxValue = [wnd] { return static_cast<int>(SendMessageW(wnd, PBM_GETRANGE, FALSE, 0)); };
  }
  ~TGaugeControl() override {
    fGauge.PlatformPosition = nullptr;
    fGauge.PlatformMaxValue = nullptr;
  }
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what != TWidgetChange::State) {
      TStdControl::Changed(w, what);
      return;
    }
    // The model keeps the last values it was given; push both.
    fGauge.PlatformPosition = nullptr;
    fGauge.PlatformMaxValue = nullptr;
    const int max = fGauge.MaxValue(), pos = fGauge.Position();
    HWND wnd = fWnd;
    fGauge.PlatformPosition = [wnd] { return static_cast<int>(SendMessageW(wnd, PBM_GETPOS, 0, 0)); };
    fGauge.PlatformMaxValue = [wnd] { return static_cast<int>(SendMessageW(wnd, PBM_GETRANGE, FALSE, 0)); };
    SendMessageW(fWnd, PBM_SETRANGE32, 0, max);
    SendMessageW(fWnd, PBM_SETPOS, pos, 0);
    UpdateWindow(fWnd);
  }

 private:
  TGauge& fGauge;
};

class TStatusControl : public TStdControl {
 public:
  // Placed by the layout like every control: left to itself, the status bar
  // takes a height of the system's, which grows with the screen's DPI.
  TStatusControl(TStatusBar& model, HWND parent, HFONT font)
      : TStdControl(model, parent, STATUSCLASSNAMEW, SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, font),
        fBar(model) {
    PushParts();
  }
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what == TWidgetChange::Text) {
      const size_t p = fBar.LastChangedPanel();
      SendMessageW(fWnd, SB_SETTEXTW, p, reinterpret_cast<LPARAM>(Widen(fBar.PanelText(p)).c_str()));
      UpdateWindow(fWnd);
    } else if (what == TWidgetChange::Bounds) {
      TStdControl::Changed(w, what);
      PushParts();
    } else {
      TStdControl::Changed(w, what);
    }
  }

 private:
  void PushParts() {
    int edges[3];
    int x = 0;
    for (size_t i = 0; i < 3; ++i) {
      x += std::max(fBar.PanelWidth(i), 0);
      edges[i] = x;
    }
    edges[2] = -1;
    SendMessageW(fWnd, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  }
  TStatusBar& fBar;
};

// The window itself: the model's bounds are its outer rectangle.
class TFormBinding : public TWidgetBinding {
 public:
  explicit TFormBinding(HWND wnd) : fWnd(wnd) {}
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what == TWidgetChange::Bounds)
      SetWindowPos(fWnd, nullptr, w.Left(), w.Top(), w.Width(), w.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    else if (what == TWidgetChange::Focus)
      SetFocus(fWnd);
  }

 private:
  HWND fWnd;
};

// The hex window's place and visibility.
class THexWindowBinding : public TWidgetBinding {
 public:
  explicit THexWindowBinding(THexWindow& hex) : fHex(hex) {}
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what == TWidgetChange::Visible) {
      if (w.Visible()) fHex.Show();
      else fHex.Hide();
    } else if (what == TWidgetChange::Bounds && w.Width() > 0 && w.Height() > 0) {
      fHex.Place(w.Left(), w.Top(), w.Width(), w.Height());
    }
  }

 private:
  THexWindow& fHex;
};

class TListPanelBinding : public TWidgetBinding {
 public:
  explicit TListPanelBinding(TCoolListWindow& list) : fList(list) {}
  void Changed(TWidget& w, TWidgetChange what) override {
    if (what == TWidgetChange::Bounds) fList.SetBounds(w.Left(), w.Top(), w.Width(), w.Height());
  }

 private:
  TCoolListWindow& fList;
};

}  // namespace

void MainWindow::RegisterClasses(HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterGaugeClass(instance);
  RegisterViewClasses(instance);
  THexWindow::RegisterWindowClass(instance);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  RegisterClassExW(&wc);
}

void MainWindow::UnregisterClasses(HINSTANCE instance) {
  UnregisterClassW(kMainWindowClass, instance);
  THexWindow::UnregisterWindowClass(instance);
  UnregisterViewClasses(instance);
  UnregisterGaugeClass(instance);
  UnloadGlyphs();
}

MainWindow::MainWindow(HINSTANCE instance) : fInstance(instance) {
  fFont = CreateUiFont(kMainFontPixels, L"Tahoma");
  fMemoBrush = CreateSolidBrush(kMemoBack);
  RECT rc{0, 0, kMainFormClientWidth, kMainFormClientHeight};
  AdjustWindowRectEx(&rc, kStyle, FALSE, 0);
  fWnd = CreateWindowExW(0, kMainWindowClass, Widen(kMainFormCaption).c_str(), kStyle, CW_USEDEFAULT,
                         CW_USEDEFAULT, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, instance, this);
  if (!fWnd) return;

  fPlatform.ProcessMessages = [this] { ProcessMessages(); };
  fPlatform.ErrorBox = [this](const std::string& text) { ShowErrorBox(text); };
  fPlatform.HostExecutablePath = [] {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return Narrow(path);
  };
  fPlatform.DeleteFile = [](const std::string& path) {
    const std::wstring w = Widen(path);
    return DeleteFileW(w.c_str()) || GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES;
  };
  fPlatform.Sleep = [](unsigned ms) { ::Sleep(ms); };
  SetViewErrorReporter([this](const std::string& text) { fPlatform.ShowError(text); });

  // Load order: the main window, then the hex window, then the settings.
  fHex = std::make_unique<THexWindow>(fWnd);
  fForm = std::make_unique<TQualcommForm>(fPlatform, fHex->Form());
  TQualcommForm& f = *fForm;
  RECT outer, client;
  GetWindowRect(fWnd, &outer);
  GetClientRect(fWnd, &client);
  f.Form.ClientWidth = client.right;
  f.Form.ClientHeight = client.bottom;
  f.Form.PlatformBounds(outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
  CreateControls();
  f.FormCreate();
  f.ReadSettings();
}

void MainWindow::CreateControls() {
  TQualcommForm& f = *fForm;
  f.FormResize();
  auto add = [this](TWidgetBinding* b) { fBindings.emplace_back(b); };
  const HWND p = fWnd;
  add(new TStdControl(f.GroupBox2, p, L"BUTTON", BS_GROUPBOX, 0, fFont, " Partition Table "));
  add(new TStdControl(f.MemoGroupBox, p, L"BUTTON", BS_GROUPBOX, 0, fFont));
  add(new TStdControl(f.ButtonsGroupBox, p, L"BUTTON", BS_GROUPBOX, 0, fFont));
  fList = std::make_unique<TCoolListWindow>(p, f.HeaderControl00, f.ScrollBox00, f.PaintBox00, f.ScrollBar00, fFont);
  fPanelBinding = std::make_unique<TListPanelBinding>(*fList);
  f.PartitionsListMainPanel.Bind(fPanelBinding.get());
  fList->SetBounds(f.PartitionsListMainPanel.Left(), f.PartitionsListMainPanel.Top(),
                   f.PartitionsListMainPanel.Width(), f.PartitionsListMainPanel.Height());
  // Buttons first, in tab order: the order of creation is the order of Tab.
  for (TButton* b : f.TabOrder()) add(new TButtonControl(*b, p, fFont, BS_OWNERDRAW));
  add(new TMemoControl(f.MyMemo, p, fFont));
  add(new TStdControl(f.ImageNameLabel, p, L"STATIC", 0, 0, fFont, "Source Image File Name:"));
  add(new TEditControl(f.ImageName, p, fFont));
  add(new TButtonControl(f.SelectImageFile, p, fFont, BS_PUSHBUTTON));
  add(new TStdControl(f.GaugePanel, p, L"STATIC", 0, WS_EX_STATICEDGE, fFont));
  add(new TGaugeControl(f.MyGauge, p, fFont));
  add(new TCheckBoxControl(f.EnableECCBtn, p, fFont));
  add(new TCheckBoxControl(f.No4KBAdjust, p, fFont));
  add(new TStatusControl(f.MyStatus, p, fFont));
  // The group boxes lie under everything they frame.
  for (TWidget* g : {&f.GroupBox2, &f.MemoGroupBox, &f.ButtonsGroupBox})
    SetWindowPos(TWinControl::HandleOf(g), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The "..." button lies over the edit box's right end.
  SetWindowPos(TWinControl::HandleOf(&f.SelectImageFile), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowPos(TWinControl::HandleOf(&f.GaugePanel), TWinControl::HandleOf(&f.MyGauge), 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE);
  const std::pair<const TWidget*, int> ids[] = {{&f.MyMemo, kIdMemo},
                                               {&f.ImageName, kIdImageName},
                                               {&f.MyGauge, kIdGauge},
                                               {&f.MyStatus, kIdStatusBar},
                                               {&f.PaintBox00, kIdListPaintBox}};
  for (const auto& [model, id] : ids)
    if (HWND h = TWinControl::HandleOf(model)) SetWindowLongPtrW(h, GWLP_ID, id);
  // Every other control its own ID: Enter presses the focused button through
  // the dialog manager, which finds that button by its ID.
  int nextId = kIdFirstControl;
  for (const auto& b : fBindings)
    if (auto* c = dynamic_cast<TWinControl*>(b.get()); c && c->Handle() && GetDlgCtrlID(c->Handle()) == 0)
      SetWindowLongPtrW(c->Handle(), GWLP_ID, nextId++);
  fFormBinding = std::make_unique<TFormBinding>(fWnd);
  f.Form.Bind(fFormBinding.get());
  fHexBinding = std::make_unique<THexWindowBinding>(*fHex);
  f.HexWindow.Bind(fHexBinding.get());
  SyncHexWindowModel();
  f.MyPopup.OnPopup = [this](TPopupMenu& m, int x, int y) { ShowPopup(m, x, y); };
  f.OpenDialog.Executor = [this](TFileDialog& d) { return RunFileDialog(d); };
  f.SaveDialog.Executor = [this](TFileDialog& d) { return RunFileDialog(d); };
  GlyphImageList(fInstance);
}

MainWindow::~MainWindow() {
  // Whatever the window hears from here on (focus moves, notifications of
  // controls being destroyed) must not reach a half-destroyed object.
  if (fWnd && IsWindow(fWnd)) SetWindowLongPtrW(fWnd, GWLP_USERDATA, 0);
  // The error reporter of the views refers to this window.
  SetViewErrorReporter(nullptr);
  if (fForm) {
    fForm->Form.Bind(nullptr);
    fForm->HexWindow.Bind(nullptr);
    fForm->PartitionsListMainPanel.Bind(nullptr);
  }
  // In the order of dependence: the controls refer to the form's widget
  // models (and write to them as they go), so they go first; the form's list
  // view drew on the controls' surfaces and has let go of them by then; the
  // form refers to the hex window's views, which go last.
  fFormBinding.reset();
  fHexBinding.reset();
  fPanelBinding.reset();
  fBindings.clear();
  fList.reset();
  fForm.reset();
  fHex.reset();
  if (fWnd && IsWindow(fWnd)) DestroyWindow(fWnd);
  if (fFont) DeleteObject(fFont);
  if (fMemoBrush) DeleteObject(fMemoBrush);
}

HWND MainWindow::Memo() const { return TWinControl::HandleOf(&fForm->MyMemo); }
HWND MainWindow::Gauge() const { return TWinControl::HandleOf(&fForm->MyGauge); }

void MainWindow::SyncHexWindowModel() {
  // The user moves and closes the hex window on its own: read it back.
  HWND h = fHex->Handle();
  if (!h) return;
  RECT r;
  GetWindowRect(h, &r);
  TWidget& m = fForm->HexWindow;
  m.PlatformBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  if (m.Visible() != (IsWindowVisible(h) != FALSE)) {
    TWidgetBinding* b = m.Binding();
    m.Bind(nullptr);
    m.SetVisible(IsWindowVisible(h) != FALSE);
    m.Bind(b);
  }
}

void MainWindow::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours: the host's loop must still see it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!IsDialogMessageW(fWnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

namespace {
struct DisabledWindows {
  HWND Keep[2];
  std::vector<HWND> List;
};
BOOL CALLBACK DisableOne(HWND h, LPARAM lp) {
  auto* d = reinterpret_cast<DisabledWindows*>(lp);
  if (h != d->Keep[0] && h != d->Keep[1] && IsWindowEnabled(h) && IsWindowVisible(h)) {
    d->List.push_back(h);
    EnableWindow(h, FALSE);
  }
  return TRUE;
}
}  // namespace

void MainWindow::ShowModal() {
  // The host's window that shows us: our owner while we show, and the
  // window that gets the activation back.
  HWND owner = GetActiveWindow();
  if (owner == fWnd || owner == fHex->Handle()) owner = nullptr;
  DisabledWindows disabled{{fWnd, fHex->Handle()}, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
  if (owner == nullptr && !disabled.List.empty()) owner = disabled.List.front();
  if (owner) SetWindowLongPtrW(fWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  fModal = true;
  fClosing = false;
  ShowWindow(fWnd, SW_SHOW);
  SetForegroundWindow(fWnd);
  fForm->Guarded([this] { fForm->FormShow(); });
  MSG msg;
  bool quit = false;
  while (fModal) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // WM_QUIT belongs to the host's loop: hand it back
      quit = true;
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageW(fWnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  fModal = false;
  // As a modal dialog ends: the windows it disabled come back first, then it
  // hides, so that the system never finds every window of the host disabled
  // and hands the activation elsewhere; then the owner is made active. (A
  // WM_QUIT of the host's ends the showing the same way, and is handed on.)
  const HWND active = GetActiveWindow();
  const bool wasActive = active == fWnd || active == fHex->Handle() || active == nullptr;
  if (HWND focus = GetFocus(); focus && IsChild(fWnd, focus)) fLastFocus = focus;
  for (HWND h : disabled.List)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  RunCloseSteps();
  SetWindowLongPtrW(fWnd, GWLP_HWNDPARENT, 0);
  if (wasActive && owner && IsWindow(owner) && IsWindowVisible(owner) && IsWindowEnabled(owner))
    SetForegroundWindow(owner);
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
}

void MainWindow::Close() {
  if (fForm->CommandRunning()) {
    // Not while a command works on the image. A device command is asked to
    // stop through the host's stop byte, which its frame clears when it ends.
    // A save or blank check does not read the byte: it is left as the host
    // gave it.
    if (fForm->DeviceCommands().RunningButton() != nullptr && fForm->HostStopFlag())
      *fForm->HostStopFlag() = 1;
    return;
  }
  if (!fModal) {
    RunCloseSteps();
    return;
  }
  // The modal loop ends the showing (see ShowModal). Wake it even when the
  // close came from another thread.
  fModal = false;
  PostMessageW(fWnd, WM_NULL, 0, 0);
}

void MainWindow::RunCloseSteps() {
  if (fClosing) return;
  fClosing = true;
  SyncHexWindowModel();
  fForm->Guarded([this] { fForm->FormClose(); });
  ShowWindow(fWnd, SW_HIDE);
}

bool MainWindow::RestoreFocus() {
  HWND target = fLastFocus;
  if (!(target && IsWindow(target) && IsChild(fWnd, target) && IsWindowVisible(target) && IsWindowEnabled(target)))
    target = GetNextDlgTabItem(fWnd, nullptr, FALSE);
  if (target == nullptr) return false;
  SetFocus(target);
  return true;
}

void MainWindow::ShowErrorBox(const std::string& text) {
  // Owned by the window while it shows, so that closing the box activates
  // the window again; the hex window waits with it. Without a shown window,
  // over every window of the thread.
  const bool shown = fWnd && IsWindowVisible(fWnd);
  HWND hex = fHex ? fHex->Handle() : nullptr;
  const bool holdHex = shown && hex && IsWindowVisible(hex) && IsWindowEnabled(hex);
  if (holdHex) EnableWindow(hex, FALSE);
  MessageBoxW(shown ? fWnd : nullptr, Widen(text).c_str(), L"Error",
              MB_OK | MB_ICONERROR | (shown ? MB_APPLMODAL : MB_TASKMODAL));
  if (holdHex && IsWindow(hex)) EnableWindow(hex, TRUE);
}

void MainWindow::ShowPopup(TPopupMenu& menu, int x, int y) {
  HMENU h = CreatePopupMenu();
  static const int kItemGlyphs[9] = {kGlyphReadSelected, kGlyphReadSelected, kGlyphReadSelected, -1,
                                     kGlyphCreateList,   kGlyphCreateList,   kGlyphCreateList,   -1,
                                     kGlyphSelectFile};
  for (size_t i = 0; i < menu.Items.size(); ++i) {
    const TMenuItem& item = menu.Items[i];
    if (item.Caption == "-") {
      AppendMenuW(h, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    // The items have no access keys; an "&" (in a partition's name) is
    // shown as itself.
    std::wstring caption;
    for (wchar_t c : Widen(item.Caption)) {
      caption += c;
      if (c == L'&') caption += L'&';
    }
    AppendMenuW(h, MF_STRING | (item.Enabled ? 0 : MF_GRAYED), i + 1, caption.c_str());
    if (i < 9 && kItemGlyphs[i] >= 0) {
      MENUITEMINFOW mii{};
      mii.cbSize = sizeof mii;
      mii.fMask = MIIM_BITMAP;
      mii.hbmpItem = GlyphMenuBitmap(fInstance, kItemGlyphs[i]);
      SetMenuItemInfoW(h, static_cast<UINT>(i + 1), FALSE, &mii);
    }
  }
  const int chosen = TrackPopupMenu(h, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, x, y, 0, fWnd, nullptr);
  DestroyMenu(h);
  if (chosen > 0) menu.Click(static_cast<size_t>(chosen - 1));
}

bool MainWindow::RunFileDialog(TFileDialog& d) {
  // "Name|pattern|Name|pattern" becomes the NUL-separated, double-NUL list.
  std::wstring filter = Widen(d.Filter);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  std::wstring file(32768, L'\0');
  const std::wstring initial = Widen(d.FileName);
  std::copy(initial.begin(), initial.begin() + std::min(initial.size(), file.size() - 1), file.begin());
  const std::wstring ext = Widen(d.DefaultExt);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = fWnd;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(d.FilterIndex);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (d.OverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
  const BOOL ok = d.Save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return false;
  d.FileName = Narrow(file.c_str());
  d.FilterIndex = static_cast<int>(ofn.nFilterIndex);
  return true;
}

void MainWindow::DrawButton(const DRAWITEMSTRUCT& item) {
  auto* binding = dynamic_cast<TButtonControl*>(TWinControl::FromHandle(item.hwndItem));
  if (!binding) return;
  TButton& b = binding->Model();
  RECT rc = item.rcItem;
  const bool disabled = item.itemState & ODS_DISABLED;
  const bool pushed = item.itemState & ODS_SELECTED;
  DrawFrameControl(item.hDC, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const int shift = pushed ? 1 : 0;
  HGDIOBJ oldFont = SelectObject(item.hDC, fFont);
  const std::wstring caption = Widen(b.Caption());
  // The caption as this font draws it (the access key's "&" takes no room).
  RECT measure{0, 0, 0, 0};
  DrawTextW(item.hDC, caption.c_str(), -1, &measure, DT_CALCRECT | DT_SINGLELINE);
  const bool glyph = b.ImageIndex() >= 0;
  const TGlyphButtonLayout layout =
      LayoutGlyphButton(rc.right - rc.left, glyph ? kGlyphSize : 0, measure.right - measure.left);
  const int glyphX = rc.left + layout.GlyphLeft + shift, glyphY = rc.top + (rc.bottom - rc.top - kGlyphSize) / 2 + shift;
  if (HIMAGELIST list = GlyphImageList(fInstance); list && glyph && layout.ShowGlyph) {
    if (disabled) {
      IMAGELISTDRAWPARAMS p{};
      p.cbSize = sizeof p;
      p.himl = list;
      p.i = b.ImageIndex();
      p.hdcDst = item.hDC;
      p.x = glyphX;
      p.y = glyphY;
      p.rgbBk = CLR_NONE;
      p.rgbFg = CLR_NONE;
      p.fStyle = ILD_TRANSPARENT;
      p.fState = ILS_SATURATE;
      ImageList_DrawIndirect(&p);
    } else {
      ImageList_Draw(list, b.ImageIndex(), item.hDC, glyphX, glyphY, ILD_TRANSPARENT);
    }
  }
  RECT text = rc;
  text.left = rc.left + layout.TextLeft + shift;
  text.right = rc.left + layout.TextRight + shift;
  text.top += shift;
  text.bottom += shift;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  // Only a caption that the face cannot hold is cut, and then visibly so.
  DrawTextW(item.hDC, caption.c_str(), -1, &text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | (layout.CaptionFits ? 0 : DT_END_ELLIPSIS));
  SelectObject(item.hDC, oldFont);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = rc;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(item.hDC, &focus);
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<MainWindow*>(cs->lpCreateParams)->fWnd = hwnd;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->Handle(msg, wp, lp);
  } catch (...) {
    // Nothing may unwind into the system's frames.
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT MainWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT forwarded = 0;
  if (ForwardChildMessage(msg, wp, lp, forwarded)) return forwarded;
  switch (msg) {
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      mmi->ptMinTrackSize = {kMainFormMinWidth, kMainFormMinHeight};
      return 0;
    }
    case WM_SIZE:
    case WM_MOVE:
      if (fForm && msg == WM_SIZE && wp != SIZE_MINIMIZED) {
        RECT outer;
        GetWindowRect(fWnd, &outer);
        fForm->Form.ClientWidth = LOWORD(lp);
        fForm->Form.ClientHeight = HIWORD(lp);
        fForm->Guarded([&] {
          // A size change of the model's own making still needs the layout.
          fForm->Form.PlatformBounds(outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
          fForm->FormResize();
        });
      } else if (fForm && msg == WM_MOVE) {
        RECT outer;
        GetWindowRect(fWnd, &outer);
        fForm->Form.PlatformBounds(outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
      }
      return 0;
    case WM_COMMAND:
      if (lp != 0) {
        if (auto* c = dynamic_cast<TStdControl*>(TWinControl::FromHandle(reinterpret_cast<HWND>(lp)))) {
          if (fForm && c->Handle() == TWinControl::HandleOf(&fForm->ShowHideHexBtn)) SyncHexWindowModel();
          c->Command(HIWORD(wp));
        }
      }
      return 0;
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (fForm && reinterpret_cast<HWND>(lp) == Memo()) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, kMemoText);
        SetBkColor(dc, kMemoBack);
        return reinterpret_cast<LRESULT>(fMemoBrush);
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focused control is remembered when another
      // window takes the activation, and gets the focus back with it.
      if (LOWORD(wp) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus && IsChild(fWnd, focus)) fLastFocus = focus;
      } else if (!HIWORD(wp) && RestoreFocus()) {
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (RestoreFocus()) return 0;
      break;
    case DM_GETDEFID: {
      // Enter presses the focused button: the dialog manager asks for the
      // default button, and that is the one with the focus.
      HWND focus = GetFocus();
      if (focus && IsChild(fWnd, focus) && IsWindowEnabled(focus) &&
          dynamic_cast<TButtonControl*>(TWinControl::FromHandle(focus)))
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      return 0;
    }
    case WM_NEXTDLGCTL: {
      HWND next = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(fWnd, GetFocus(), wp != 0);
      if (next && IsChild(fWnd, next)) SetFocus(next);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(fWnd, msg, wp, lp);
}

}  // namespace kovra::win
