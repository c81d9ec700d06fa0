#pragma once
// Scripted use of the plug-in's windows, for end-to-end tests: one action a
// line, run from a host timer, which fires inside whatever modal loop the
// plug-in is in (its window, a message box, a device operation's message
// processing). Every step proves that it happened; a window, button or text
// that does not show up within the time-out fails the run.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kovra::host {

struct TScriptStep {
  int Line = 0;
  std::string Action;  // wait, timeout, click, expect-button, type, expect-memo, expect-status, expect-box, close
  std::string Arg;     // the rest of the line (for type and expect-status: after the first word)
  std::string Word;    // type: the control; expect-status: the panel
  uint32_t Number = 0;
};

// Usage text of the script language, for the host's --help.
extern const char kScriptUsage[];

// Parses a script; false (error set, naming the line) for an unknown action
// or a missing argument.
bool ParseScript(const std::string& text, std::vector<TScriptStep>& steps, std::string& error);

class THostScript {
 public:
  THostScript(std::vector<TScriptStep> steps, HWND timerWindow, UINT_PTR timerId);

  void Start();
  // The timer's tick: runs steps until one has to wait.
  void Tick();
  // Called after each showing of the plug-in's window ends.
  bool Finished() const { return fNext >= fSteps.size() || fFailed; }
  bool Failed() const { return fFailed; }
  // The plug-in's window closed: completes a close step.
  void ShowingEnded();
  // The last showing ended with steps left: they cannot run any more.
  void Abandon();

 private:
  enum class Outcome { Done, Pending, Failed };
  Outcome Run(const TScriptStep& step, std::string& why);
  void Fail(const TScriptStep& step, const std::string& why);
  void Report(const TScriptStep& step, const char* verdict, const std::string& detail);

  std::vector<TScriptStep> fSteps;
  HWND fTimerWindow;
  UINT_PTR fTimerId;
  size_t fNext = 0;
  DWORD fStepStart = 0;
  bool fStepStarted = false;
  DWORD fTimeoutMs = 10000;
  bool fBusy = false;
  bool fCloseAsked = false;
  bool fEndClosed = false;
  bool fFailed = false;
};

}  // namespace kovra::host
