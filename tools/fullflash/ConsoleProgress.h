#pragma once
// The export commands' hooks for the console: the log lines are kept for the
// command to print, and while the command runs a one-line progress bar is
// drawn on stderr, only when stderr is a terminal, and wiped at the end (also
// when an error ends the command) so that nothing of it stays in the output.
// The window's pauses are skipped: they are there for the eye, not the work.
#include <cstdint>
#include <string>

#include "export/ExportHooks.h"
#include "image/ImageLoad.h"

namespace fullflash {

class TConsoleProgress final : public kovra::TExportHooks {
 public:
  explicit TConsoleProgress(std::string label);
  ~TConsoleProgress() override;
  TConsoleProgress(const TConsoleProgress&) = delete;
  TConsoleProgress& operator=(const TConsoleProgress&) = delete;

  void SetGaugeMax(int64_t max) override;
  void SetGaugePosition(int64_t position) override;
  void StepGauge(int64_t delta) override;
  void AppendLogLine(const std::string& line) override { fLog.Append(line); }
  void AppendToLastLogLine(const std::string& text) override { fLog.AppendToLast(text); }
  void ReplaceLastLogLine(const std::string& line) override;
  void SetStatusText(const std::string& text) override;

  const std::vector<std::string>& LogLines() const { return fLog.Lines; }
  // Wipes the bar; later changes do not draw it again.
  void Finish();

 private:
  void Draw(bool force);

  bool fEnabled;
  bool fDrawn = false;
  std::string fLabel;
  int64_t fMax = 0;
  int64_t fPosition = 0;
  int fShownPercent = -1;
  size_t fShownWidth = 0;
  kovra::TExportLogLines fLog;
};

// Warnings of the load ("WARNING!!! ...") on stderr: the export commands do
// not print the load's log, but a user must not miss these.
void PrintLoadWarnings(const kovra::TImageLoadResult& result);

// The context of the export commands over a loaded image.
kovra::TExportContext ExportContextOf(const kovra::TImageLoadResult& result,
                                      kovra::TExportHooks& hooks);

}  // namespace fullflash
