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
    "    click CAPTION            click the enabled button with exactly this caption\n"
    "                             (\"&Stop\", \"OK\"), in any window of the host\n"
    "    expect-button CAPTION    a visible button with this caption exists\n"
    "    type CONTROL TEXT        set the text of a control, named by its ID (decimal or\n"
    "                             0x-hex) or its class (Edit), and read it back\n"
    "    expect-memo TEXT         the plug-in's log memo contains TEXT\n"
    "    expect-status PANEL TEXT status bar panel PANEL shows exactly TEXT (may be empty)\n"
    "    expect-box TEXT          a message box containing TEXT is open\n"
    "    close                    close the plug-in's window (ends this showing)\n"
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
    if (s.Action == "wait" || s.Action == "timeout") {
      if (!Number(s.Arg, s.Number)) return error = where + s.Action + " needs milliseconds", false;
    } else if (s.Action == "click" || s.Action == "expect-button" || s.Action == "expect-memo" ||
               s.Action == "expect-box") {
      if (s.Arg.empty()) return error = where + s.Action + " needs a text", false;
    } else if (s.Action == "type" || s.Action == "expect-status") {
      const size_t sp = s.Arg.find(' ');
      s.Word = s.Arg.substr(0, sp);
      s.Arg = sp == std::string::npos ? "" : s.Arg.substr(sp + 1);
      if (s.Word.empty()) return error = where + s.Action + " needs a control or panel", false;
      if (s.Action == "expect-status" && (!Number(s.Word, s.Number) || s.Number > 2))
        return error = where + "the status bar has panels 0, 1 and 2", false;
    } else if (s.Action == "close") {
      if (!s.Arg.empty()) return error = where + "close takes nothing", false;
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
  std::printf("script: line %d: %s %s%s%s%s%s\n", step.Line, verdict, step.Action.c_str(),
              step.Word.empty() ? "" : " ", step.Word.c_str(), step.Arg.empty() ? "" : " ", step.Arg.c_str());
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

THostScript::Outcome THostScript::Run(const TScriptStep& s, std::string& why) {
  const DWORD elapsed = GetTickCount() - fStepStart;
  if (s.Action == "wait") return elapsed >= s.Number ? Outcome::Done : Outcome::Pending;
  if (s.Action == "timeout") {
    fTimeoutMs = s.Number;
    return Outcome::Done;
  }
  if (s.Action == "click" || s.Action == "expect-button") {
    HWND button = FindButton(Wide(s.Arg));
    if (!button) return why = "no button with this caption", Outcome::Pending;
    if (s.Action == "expect-button") return Outcome::Done;
    if (!IsWindowEnabled(button) || !IsWindowEnabled(GetAncestor(button, GA_ROOT)))
      return why = "the button is disabled", Outcome::Pending;
    // Posted: a click that opens a message box must not block the script.
    PostMessageW(button, BM_CLICK, 0, 0);
    return Outcome::Done;
  }
  if (s.Action == "type") {
    HWND control = FindControl(s.Word);
    if (!control) return why = "no such control", Outcome::Pending;
    const std::wstring text = Wide(s.Arg);
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (TextOf(control) != text) return why = "the control shows \"" + Utf8(TextOf(control)) + "\"", Outcome::Failed;
    return Outcome::Done;
  }
  if (s.Action == "expect-memo") {
    HWND memo = THostServer::Instance().LogView;
    if (!memo || !IsWindow(memo)) return why = "no log memo attached", Outcome::Pending;
    if (TextOf(memo).find(Wide(s.Arg)) == std::wstring::npos) {
      why = "the memo holds: " + Utf8(TextOf(memo));
      return Outcome::Pending;
    }
    return Outcome::Done;
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
    return why = "no message box with this text", Outcome::Pending;
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
      continue;
    }
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
  fCloseAsked = false;
}

}  // namespace kovra::host
