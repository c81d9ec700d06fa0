#pragma once
// Scripted use of the plug-in's windows, for end-to-end tests: one action a
// line, run from a host timer, which fires inside whatever modal loop the
// plug-in is in (its window, a message box, a device operation's message
// processing). Steps behave as a person would: an action that posts a
// message (a click, a press on the list, a menu choice, a file name given to
// a dialog) is complete only once the message has been dispatched, so no
// later step looks at the state from before it; every expect-* waits until
// its condition holds and fails the run, with what it saw, when the
// time-out ends first.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kovra::host {

struct TScriptStep {
  int Line = 0;
  std::string Action;  // wait, timeout, click, expect-button, type, expect-memo, ... (see kScriptUsage)
  std::string Arg;     // the rest of the line (for type, expect-status, expect-file: after the first word)
  std::string Word;    // type: the control; expect-status: the panel; expect-file: the size
  uint32_t Number = 0;
};

// Usage text of the script language, for the host's --help.
extern const char kScriptUsage[];

// Parses a script; false (error set, naming the line) for an unknown action
// or a missing argument.
bool ParseScript(const std::string& text, std::vector<TScriptStep>& steps, std::string& error);

class THostScript {
 public:
  // Posted to the timer window behind every message an action posts; its
  // arrival (wParam: the action's number) shows that the action's messages
  // were dispatched. The window's procedure hands it to Marked.
  static constexpr UINT kMarkMessage = WM_APP + 17;

  THostScript(std::vector<TScriptStep> steps, HWND timerWindow, UINT_PTR timerId);

  void Start();
  // The timer's tick: runs steps until one has to wait.
  void Tick();
  // Called after each showing of the plug-in's window ends.
  bool Finished() const { return fNext >= fSteps.size() || fFailed; }
  bool Failed() const { return fFailed; }
  // A mark posted behind an action's messages has arrived.
  void Marked(WPARAM number);
  // The plug-in's window closed: completes a close step.
  void ShowingEnded();
  // The last showing ended with steps left: they cannot run any more.
  void Abandon();

 private:
  enum class Outcome { Done, Pending, Posted, Failed };
  Outcome Run(const TScriptStep& step, std::string& why);
  // After an action posted its messages: done once they were dispatched
  // and the action's own sign (a closed menu or dialog) shows.
  Outcome Settle(const TScriptStep& step, std::string& why);
  Outcome Post(HWND target);
  void Fail(const TScriptStep& step, const std::string& why);
  void Report(const TScriptStep& step, const char* verdict, const std::string& detail);

  std::vector<TScriptStep> fSteps;
  HWND fTimerWindow;
  UINT_PTR fTimerId;
  size_t fNext = 0;
  DWORD fStepStart = 0;
  bool fStepStarted = false;
  bool fPosted = false;       // this step's messages are posted
  HWND fPostTarget = nullptr;  // the dialog or menu they went to
  WPARAM fPostNumber = 0;     // the last mark posted (one a posted action)
  WPARAM fMarkSeen = 0;       // the last mark that arrived
  DWORD fTimeoutMs = 10000;
  bool fBusy = false;
  bool fCloseAsked = false;
  bool fEndClosed = false;
  bool fFailed = false;
};

}  // namespace kovra::host
