#include "HostScript.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <sstream>

#include "HostServer.h"

namespace kovra::host {

const char kScriptUsage[] =
    "  Script lines (blank lines and lines starting with # are skipped); each step\n"
    "  waits up to the time-out for what it needs, else the run fails with exit code 1:\n"
    "    timeout MS               later steps wait up to MS milliseconds (default 10000)\n"
    "    wait MS                  let MS milliseconds pass\n"
    "    click CAPTION            click the enabled button or check box with exactly this\n"
    "                             caption (\"&Stop\", \"OK\"), in any window of the host\n"
    "    expect-button CAPTION    a visible button with this caption exists\n"
    "    type CONTROL TEXT        set the text of a control, named by its ID (decimal or\n"
    "                             0x-hex) or its class (Edit), and read it back\n"
    "    expect-memo TEXT         the plug-in's log memo contains TEXT\n"
    "    expect-no-memo TEXT      the memo does not contain TEXT\n"
    "    expect-last-line TEXT    the memo's last line is exactly TEXT\n"
    "    expect-status PANEL TEXT status bar panel PANEL shows exactly TEXT (may be empty)\n"
    "    expect-box TEXT          a message box containing TEXT is open\n"
    "    expect-no-box            no message box or dialog is open\n"
    "    close                    close the plug-in's window (ends this showing)\n"
    "    list-click ROW           left press on row ROW (0-based) of the partition list\n"
    "    list-rclick ROW          right press there (opens the popup menu)\n"
    "    list-dblclick ROW        double click there\n"
    "    menu N                   choose item N (1-based, separators counted) of the open\n"
    "                             popup menu\n"
    "    file-dialog PATH         type PATH into the open file dialog and press OK\n"
    "    expect-enabled CAPTION   the button with this caption is enabled\n"
    "    expect-disabled CAPTION  the button with this caption is disabled\n"
    "    expect-checked CAPTION   the check box with this caption is checked\n"
    "    expect-unchecked CAPTION the check box with this caption is not checked\n"
    "    expect-window CAPTION    a visible window with exactly this caption exists\n"
    "    expect-no-window CAPTION no visible window has this caption\n"
    "    expect-text CONTROL TEXT a control (as for type) shows exactly TEXT\n"
    "    expect-size W H          the plug-in's main window is W x H pixels (outer size)\n"
    "    expect-stop-byte N       the host's stop byte holds N\n"
    "    expect-file BYTES PATH   the file PATH exists and holds exactly BYTES bytes\n"
    "    expect-no-file PATH      there is no file PATH\n"
    "  An action that posts (click, list-*, menu, file-dialog) ends once its messages\n"
    "  have been dispatched, menu once the menu has closed, file-dialog once the\n"
    "  dialog has closed: the next step sees the state after it. A condition that\n"
    "  already held before an action proves nothing about it: pair it with a step\n"
    "  that only the action makes hold.\n"
    "  The end of the script closes the plug-in's window.\n";

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

bool Number(const std::string& s, uint32_t& v) {
  if (s.empty() || s[0] == '-') return false;
  try {
    size_t used = 0;
    const unsigned long long x = std::stoull(s, &used, 0);
    if (used != s.size() || x > 0xFFFFFFFFull) return false;
    v = static_cast<uint32_t>(x);
    return true;
  } catch (...) {
    return false;
  }
}

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = L"";
  GetClassNameW(h, name, 64);
  return name;
}

std::wstring TextOf(HWND h) {
  const int n = GetWindowTextLengthW(h);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(got > 0 ? got : 0));
  return s;
}

// The visible top-level windows of this thread (the plug-in's windows, its
// message boxes and dialogs, and the host's own) and all their descendants.
BOOL CALLBACK CollectVisible(HWND h, LPARAM lp) {
  if (IsWindowVisible(h)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> VisibleWindows() {
  std::vector<HWND> tops;
  EnumThreadWindows(GetCurrentThreadId(), CollectVisible, reinterpret_cast<LPARAM>(&tops));
  std::vector<HWND> all = tops;
  for (HWND top : tops) EnumChildWindows(top, CollectVisible, reinterpret_cast<LPARAM>(&all));
  return all;
}

bool IsPushButton(HWND h) {
  if (_wcsicmp(ClassOf(h).c_str(), L"Button") != 0) return false;
  const LONG type = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
  return type != BS_GROUPBOX;
}

HWND FindButton(const std::wstring& caption) {
  for (HWND h : VisibleWindows())
    if (IsPushButton(h) && TextOf(h) == caption) return h;
  return nullptr;
}

// What a failing step saw instead of the button it wanted.
std::string ButtonCaptions() {
  std::string list;
  for (HWND h : VisibleWindows())
    if (IsPushButton(h) && GetWindowTextLengthW(h) > 0) list += (list.empty() ? "\"" : ", \"") + Utf8(TextOf(h)) + "\"";
  return list.empty() ? "none" : list;
}

// The host's visible top-level windows, class and caption, for a failing step.
std::string TopWindows() {
  std::string list;
  for (HWND h : VisibleWindows())
    if (GetAncestor(h, GA_ROOT) == h)
      list += (list.empty() ? "" : ", ") + Utf8(ClassOf(h)) + " \"" + Utf8(TextOf(h)) + "\"";
  return list.empty() ? "none" : list;
}

HWND FindControl(const std::string& word) {
  uint32_t id = 0;
  const bool byId = Number(word, id);
  const std::wstring cls = Wide(word);
  for (HWND h : VisibleWindows()) {
    if (GetAncestor(h, GA_ROOT) == h) continue;  // controls only
    if (byId ? static_cast<uint32_t>(GetDlgCtrlID(h)) == id : _wcsicmp(ClassOf(h).c_str(), cls.c_str()) == 0) return h;
  }
  return nullptr;
}

HWND MainWindow() {
  HWND main = FindWindowW(L"TQualcommForm", nullptr);
  return main && IsWindowVisible(main) ? main : nullptr;
}

BOOL CALLBACK FindStatusBar(HWND h, LPARAM lp) {
  if (_wcsicmp(ClassOf(h).c_str(), STATUSCLASSNAMEW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(lp) = h;
  return FALSE;
}

HWND StatusBar(HWND main) {
  HWND found = nullptr;
  EnumChildWindows(main, FindStatusBar, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> MessageBoxes() {
  std::vector<HWND> boxes;
  for (HWND h : VisibleWindows())
    if (GetAncestor(h, GA_ROOT) == h && ClassOf(h) == L"#32770") boxes.push_back(h);
  return boxes;
}

BOOL CALLBACK FindPaintBox(HWND h, LPARAM lp) {
  if (ClassOf(h) != L"KovraPaintBox") return TRUE;
  *reinterpret_cast<HWND*>(lp) = h;
  return FALSE;
}

// The partition list's drawing surface and its row height, measured the way
// the list measures it: "0" in a fresh surface's default font, plus 2.
HWND ListPaintBox(int& rowHeight) {
  HWND main = MainWindow();
  HWND paint = nullptr;
  if (main) EnumChildWindows(main, FindPaintBox, reinterpret_cast<LPARAM>(&paint));
  if (!paint) return nullptr;
  HDC dc = GetDC(paint);
  HDC mem = CreateCompatibleDC(dc);
  SIZE size{};
  GetTextExtentPoint32W(mem, L"0", 1, &size);
  DeleteDC(mem);
  ReleaseDC(paint, dc);
  rowHeight = size.cy + 2;
  return paint;
}

// The memo's last line, without the line break that may end it.
std::wstring LastLine(const std::wstring& text) {
  const size_t end = text.find_last_not_of(L"\r\n");
  if (end == std::wstring::npos) return {};
  const size_t lineBreak = text.find_last_of(L'\n', end);
  const size_t begin = lineBreak == std::wstring::npos ? 0 : lineBreak + 1;
  return text.substr(begin, end + 1 - begin);
}

HWND TopWindowOfClass(const wchar_t* cls) {
  for (HWND h : VisibleWindows())
    if (GetAncestor(h, GA_ROOT) == h && ClassOf(h) == cls) return h;
  return nullptr;
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<TScriptStep>& steps, std::string& error) {
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line = line.substr(first);
    TScriptStep s;
    s.Line = n;
    const size_t space = line.find(' ');
    s.Action = line.substr(0, space);
    s.Arg = space == std::string::npos ? "" : line.substr(space + 1);
    const auto where = "line " + std::to_string(n) + ": ";
    if (s.Action == "wait" || s.Action == "timeout" || s.Action == "expect-stop-byte") {
      if (!Number(s.Arg, s.Number)) return error = where + s.Action + " needs milliseconds", false;
    } else if (s.Action == "list-click" || s.Action == "list-rclick" || s.Action == "list-dblclick" ||
               s.Action == "menu") {
      if (!Number(s.Arg, s.Number)) return error = where + s.Action + " needs a number", false;
    } else if (s.Action == "click" || s.Action == "expect-button" || s.Action == "expect-memo" ||
               s.Action == "expect-no-memo" || s.Action == "expect-last-line" || s.Action == "expect-box" ||
               s.Action == "file-dialog" || s.Action == "expect-enabled" || s.Action == "expect-disabled" ||
               s.Action == "expect-checked" || s.Action == "expect-unchecked" || s.Action == "expect-window" ||
               s.Action == "expect-no-window" || s.Action == "expect-no-file") {
      if (s.Arg.empty()) return error = where + s.Action + " needs a text", false;
    } else if (s.Action == "expect-file") {
      const size_t sp = s.Arg.find(' ');
      if (sp == std::string::npos || !Number(s.Arg.substr(0, sp), s.Number) || sp + 1 >= s.Arg.size())
        return error = where + "expect-file needs a size in bytes and a path", false;
      s.Word = s.Arg.substr(0, sp);
      s.Arg = s.Arg.substr(sp + 1);
    } else if (s.Action == "expect-size") {
      const size_t sp = s.Arg.find(' ');
      uint32_t h = 0;
      if (sp == std::string::npos || !Number(s.Arg.substr(0, sp), s.Number) || !Number(s.Arg.substr(sp + 1), h))
        return error = where + "expect-size needs a width and a height", false;
      s.Word = std::to_string(h);
    } else if (s.Action == "type" || s.Action == "expect-status" || s.Action == "expect-text") {
      const size_t sp = s.Arg.find(' ');
      s.Word = s.Arg.substr(0, sp);
      s.Arg = sp == std::string::npos ? "" : s.Arg.substr(sp + 1);
      if (s.Word.empty()) return error = where + s.Action + " needs a control or panel", false;
      if (s.Action == "expect-status" && (!Number(s.Word, s.Number) || s.Number > 2))
        return error = where + "the status bar has panels 0, 1 and 2", false;
    } else if (s.Action == "close" || s.Action == "expect-no-box") {
      if (!s.Arg.empty()) return error = where + s.Action + " takes nothing", false;
    } else {
      return error = where + "unknown action " + s.Action, false;
    }
    steps.push_back(s);
  }
  return true;
}

THostScript::THostScript(std::vector<TScriptStep> steps, HWND timerWindow, UINT_PTR timerId)
    : fSteps(std::move(steps)), fTimerWindow(timerWindow), fTimerId(timerId) {}

void THostScript::Start() { SetTimer(fTimerWindow, fTimerId, 50, nullptr); }

void THostScript::Report(const TScriptStep& step, const char* verdict, const std::string& detail) {
  // expect-size keeps its height in Word; its Arg holds both numbers already.
  const std::string& word = step.Action == "expect-size" ? std::string() : step.Word;
  std::printf("script: line %d: %s %s%s%s%s%s\n", step.Line, verdict, step.Action.c_str(), word.empty() ? "" : " ",
              word.c_str(), step.Arg.empty() ? "" : " ", step.Arg.c_str());
  if (!detail.empty()) std::printf("script:   %s\n", detail.c_str());
  std::fflush(stdout);
}

void THostScript::Fail(const TScriptStep& step, const std::string& why) {
  Report(step, "FAIL", why);
  fFailed = true;
  KillTimer(fTimerWindow, fTimerId);
  // Leave quickly: stop a running device operation, close what is open.
  *THostServer::Instance().StopByte() = 1;
  for (HWND box : MessageBoxes()) PostMessageW(box, WM_CLOSE, 0, 0);
  if (HWND main = MainWindow()) PostMessageW(main, WM_CLOSE, 0, 0);
}

void THostScript::Abandon() {
  if (Finished()) return;
  Fail(fSteps[fNext], "the plug-in's window closed before this step ran");
}

THostScript::Outcome THostScript::Post(HWND target) {
  // Posted messages are dispatched in order: when the mark arrives, the
  // action's messages have been handled (or their handler is running a
  // modal loop of its own, as a command or a message box does).
  fPosted = true;
  fPostTarget = target;
  ++fPostNumber;
  PostMessageW(fTimerWindow, kMarkMessage, fPostNumber, 0);
  return Outcome::Posted;
}

void THostScript::Marked(WPARAM number) {
  if (number > fMarkSeen) fMarkSeen = number;
  // Go on at once: the action's own loop (a command, a dialog) may be
  // running now, and the next step may be meant for it.
  Tick();
}

THostScript::Outcome THostScript::Settle(const TScriptStep& s, std::string& why) {
  if (fMarkSeen < fPostNumber) return why = "the action's messages were not dispatched", Outcome::Pending;
  if (s.Action == "menu" && TopWindowOfClass(L"#32768")) return why = "the popup menu is still open", Outcome::Pending;
  if (s.Action == "file-dialog" && IsWindow(fPostTarget) && IsWindowVisible(fPostTarget))
    return why = "the file dialog is still open", Outcome::Pending;
  return Outcome::Done;
}

THostScript::Outcome THostScript::Run(const TScriptStep& s, std::string& why) {
  if (fPosted) return Settle(s, why);
  const DWORD elapsed = GetTickCount() - fStepStart;
  if (s.Action == "wait") return elapsed >= s.Number ? Outcome::Done : Outcome::Pending;
  if (s.Action == "timeout") {
    fTimeoutMs = s.Number;
    return Outcome::Done;
  }
  if (s.Action == "click" || s.Action == "expect-button") {
    HWND button = FindButton(Wide(s.Arg));
    if (!button) return why = "no button with this caption; shown: " + ButtonCaptions(), Outcome::Pending;
    if (s.Action == "expect-button") return Outcome::Done;
    if (!IsWindowEnabled(button) || !IsWindowEnabled(GetAncestor(button, GA_ROOT)))
      return why = "the button is disabled", Outcome::Pending;
    // Posted: a click that opens a message box must not block the script.
    PostMessageW(button, BM_CLICK, 0, 0);
    return Post(button);
  }
  if (s.Action == "type") {
    HWND control = FindControl(s.Word);
    if (!control) return why = "no such control", Outcome::Pending;
    const std::wstring text = Wide(s.Arg);
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (TextOf(control) != text) return why = "the control shows \"" + Utf8(TextOf(control)) + "\"", Outcome::Failed;
    return Outcome::Done;
  }
  if (s.Action == "expect-stop-byte") {
    const uint8_t b = *THostServer::Instance().StopByte();
    if (b != s.Number) return why = "the stop byte holds " + std::to_string(b), Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "expect-text") {
    HWND control = FindControl(s.Word);
    if (!control) return why = "no such control", Outcome::Pending;
    if (TextOf(control) != Wide(s.Arg)) return why = "the control shows \"" + Utf8(TextOf(control)) + "\"", Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "expect-size") {
    HWND main = MainWindow();
    RECT r{};
    if (!main || !GetWindowRect(main, &r)) return why = "the main window is not shown", Outcome::Pending;
    const std::string got = std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top);
    if (static_cast<uint32_t>(r.right - r.left) != s.Number || std::to_string(r.bottom - r.top) != s.Word)
      return why = "the window is " + got, Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "expect-memo" || s.Action == "expect-no-memo" || s.Action == "expect-last-line") {
    HWND memo = THostServer::Instance().LogView;
    if (!memo || !IsWindow(memo)) return why = "no log memo attached", Outcome::Pending;
    const std::wstring text = TextOf(memo);
    why = "the memo holds: " + Utf8(text);
    if (s.Action == "expect-last-line") return LastLine(text) == Wide(s.Arg) ? Outcome::Done : Outcome::Pending;
    const bool found = text.find(Wide(s.Arg)) != std::wstring::npos;
    return found == (s.Action == "expect-memo") ? Outcome::Done : Outcome::Pending;
  }
  if (s.Action == "expect-status") {
    HWND main = MainWindow();
    HWND bar = main ? StatusBar(main) : nullptr;
    if (!bar) return why = "no status bar", Outcome::Pending;
    const LRESULT len = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, s.Number, 0));
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, s.Number, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(len));
    if (text != Wide(s.Arg)) return why = "panel " + s.Word + " shows \"" + Utf8(text) + "\"", Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "expect-box") {
    const std::wstring want = Wide(s.Arg);
    for (HWND box : MessageBoxes()) {
      wchar_t text[1024] = L"";
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      if (std::wstring(text).find(want) != std::wstring::npos) return Outcome::Done;
    }
    return why = "no message box with this text; windows shown: " + TopWindows(), Outcome::Pending;
  }
  if (s.Action == "expect-no-box") {
    for (HWND box : MessageBoxes()) {
      wchar_t text[1024] = L"";
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      return why = "a box is open: \"" + Utf8(TextOf(box)) + "\" " + Utf8(text), Outcome::Pending;
    }
    return Outcome::Done;
  }
  if (s.Action == "expect-file" || s.Action == "expect-no-file") {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool exists = GetFileAttributesExW(Wide(s.Arg).c_str(), GetFileExInfoStandard, &data) != 0;
    if (s.Action == "expect-no-file") return exists ? (why = "the file exists", Outcome::Pending) : Outcome::Done;
    if (!exists) return why = "there is no such file", Outcome::Pending;
    const uint64_t size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || size != s.Number)
      return why = "the file holds " + std::to_string(size) + " bytes", Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "list-click" || s.Action == "list-rclick" || s.Action == "list-dblclick") {
    int rowHeight = 0;
    HWND paint = ListPaintBox(rowHeight);
    if (!paint) return why = "no partition list", Outcome::Pending;
    POINT point{10, static_cast<int>(s.Number) * rowHeight + rowHeight / 2};
    const LPARAM at = MAKELPARAM(point.x, point.y);
    // A person's pointer is where they press, and the popup menu opens at
    // the pointer: left anywhere else, it could open under the menu.
    ClientToScreen(paint, &point);
    SetCursorPos(point.x, point.y);
    // Posted: a press that opens the popup menu must not block the script.
    if (s.Action == "list-rclick") {
      PostMessageW(paint, WM_RBUTTONDOWN, MK_RBUTTON, at);
      PostMessageW(paint, WM_RBUTTONUP, 0, at);
    } else {
      PostMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageW(paint, WM_LBUTTONUP, 0, at);
      if (s.Action == "list-dblclick") {
        PostMessageW(paint, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageW(paint, WM_LBUTTONUP, 0, at);
      }
    }
    return Post(paint);
  }
  if (s.Action == "menu") {
    HWND menuWnd = TopWindowOfClass(L"#32768");
    if (!menuWnd) return why = "no popup menu is open", Outcome::Pending;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWnd, 0x01E1 /* MN_GETHMENU */, 0, 0));
    const int count = menu ? GetMenuItemCount(menu) : -1;
    if (count < static_cast<int>(s.Number) || s.Number == 0) return why = "the menu has " + std::to_string(count) + " items", Outcome::Failed;
    // A click on the item, with the pointer put there first. Keys would race
    // the pointer: the menu opens under it, and a move the display reports
    // late selects the item under the pointer (or none) between the keys.
    // Here any move, early or late, lands on the same item.
    RECT item{};
    if (!GetMenuItemRect(nullptr, menu, s.Number - 1, &item))
      return why = "item " + std::to_string(s.Number) + " of the menu has no place on screen", Outcome::Failed;
    const POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    SetCursorPos(at.x, at.y);
    // The menu's own loop reads a posted press's point in screen coordinates.
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(menuWnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(menuWnd, WM_LBUTTONUP, 0, where);
    return Post(menuWnd);
  }
  if (s.Action == "file-dialog") {
    for (HWND dlg : MessageBoxes()) {
      HWND name = GetDlgItem(dlg, 0x47C);  // the file name combo box
      if (!name) name = GetDlgItem(dlg, 0x480);
      if (!name) continue;
      const std::wstring path = Wide(s.Arg);
      SetWindowTextW(name, path.c_str());
      PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
      return Post(dlg);
    }
    return why = "no file dialog is open; windows shown: " + TopWindows(), Outcome::Pending;
  }
  if (s.Action == "expect-enabled" || s.Action == "expect-disabled") {
    HWND button = FindButton(Wide(s.Arg));
    if (!button) return why = "no button with this caption; shown: " + ButtonCaptions(), Outcome::Pending;
    const bool want = s.Action == "expect-enabled";
    if ((IsWindowEnabled(button) != FALSE) != want) return why = want ? "disabled" : "enabled", Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "expect-checked" || s.Action == "expect-unchecked") {
    HWND box = FindButton(Wide(s.Arg));
    if (!box) return why = "no check box with this caption; shown: " + ButtonCaptions(), Outcome::Pending;
    const bool want = s.Action == "expect-checked";
    if ((SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != want)
      return why = want ? "not checked" : "checked", Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "expect-window" || s.Action == "expect-no-window") {
    bool found = false;
    for (HWND h : VisibleWindows())
      if (GetAncestor(h, GA_ROOT) == h && TextOf(h) == Wide(s.Arg)) found = true;
    if (found != (s.Action == "expect-window")) return why = found ? "it is shown" : "not shown", Outcome::Pending;
    return Outcome::Done;
  }
  if (s.Action == "close") {
    // Done when the showing has ended (see ShowingEnded); until then, ask.
    if (HWND main = MainWindow()) PostMessageW(main, WM_CLOSE, 0, 0);
    return why = "the window did not close", Outcome::Pending;
  }
  return why = "unknown action", Outcome::Failed;
}

void THostScript::Tick() {
  if (fBusy || fFailed) return;
  fBusy = true;
  while (fNext < fSteps.size()) {
    const TScriptStep& step = fSteps[fNext];
    if (!fStepStarted) {
      fStepStart = GetTickCount();
      fStepStarted = true;
    }
    // A close asked once is in progress; asking again would close the next showing.
    if (step.Action == "close" && fCloseAsked) break;
    std::string why;
    const Outcome outcome = Run(step, why);
    if (outcome == Outcome::Done) {
      Report(step, "ok  ", "");
      ++fNext;
      fStepStarted = false;
      fPosted = false;
      continue;
    }
    // End the tick: what the action posted is dispatched before the next one.
    if (outcome == Outcome::Posted) break;
    if (step.Action == "close") {
      fCloseAsked = true;
      break;
    }
    if (outcome == Outcome::Failed ||
        (step.Action != "wait" && GetTickCount() - fStepStart > fTimeoutMs)) {
      Fail(step, why);
      break;
    }
    break;
  }
  if (fNext >= fSteps.size() && !fFailed && !fEndClosed) {
    // The end of the script closes the plug-in's window.
    fEndClosed = true;
    std::printf("script: end\n");
    std::fflush(stdout);
    KillTimer(fTimerWindow, fTimerId);
    if (HWND main = MainWindow()) PostMessageW(main, WM_CLOSE, 0, 0);
  }
  fBusy = false;
}

void THostScript::ShowingEnded() {
  if (fFailed || fNext >= fSteps.size()) return;
  const TScriptStep& step = fSteps[fNext];
  if (step.Action != "close") return;
  Report(step, "ok  ", "");
  ++fNext;
  fStepStarted = false;
  fPosted = false;
  fCloseAsked = false;
}

}  // namespace kovra::host
