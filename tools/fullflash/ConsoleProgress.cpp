#include "ConsoleProgress.h"

#include <algorithm>
#include <cstdio>

#include "Commands.h"

#ifdef _WIN32
#include <io.h>
#define KOVRA_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define KOVRA_ISATTY(f) isatty(fileno(f))
#endif

namespace fullflash {

namespace {
constexpr int kBarWidth = 30;
}

TConsoleProgress::TConsoleProgress(std::string label)
    : fEnabled(KOVRA_ISATTY(stderr) != 0), fLabel(std::move(label)) {}

TConsoleProgress::~TConsoleProgress() { Finish(); }

void TConsoleProgress::SetGaugeMax(int64_t max) {
  fMax = max;
  Draw(false);
}

void TConsoleProgress::SetGaugePosition(int64_t position) {
  fPosition = position;
  Draw(false);
}

void TConsoleProgress::StepGauge(int64_t delta) {
  fPosition += delta;
  Draw(false);
}

void TConsoleProgress::ReplaceLastLogLine(const std::string& line) {
  fLog.ReplaceLast(line);
  fLabel = line;
  Draw(true);
}

void TConsoleProgress::SetStatusText(const std::string& text) {
  fLabel = text;
  Draw(true);
}

void TConsoleProgress::Draw(bool force) {
  if (!fEnabled) return;
  int percent = 0;
  if (fMax > 0) percent = static_cast<int>(std::min<int64_t>(100, std::max<int64_t>(0, fPosition) * 100 / fMax));
  // Redrawing only when the whole percentage changes keeps the terminal cheap
  // on images of many small blocks.
  if (!force && percent == fShownPercent) return;
  fShownPercent = percent;
  const int filled = percent * kBarWidth / 100;
  std::string line = "\r" + fLabel + " [" + std::string(size_t(filled), '#') +
                     std::string(size_t(kBarWidth - filled), ' ') + "] " +
                     std::to_string(percent) + "%";
  const size_t width = line.size() - 1;
  if (width < fShownWidth) line += std::string(fShownWidth - width, ' ');
  fShownWidth = std::max(fShownWidth, width);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  fDrawn = true;
}

void TConsoleProgress::Finish() {
  if (fDrawn) {
    std::fputs(("\r" + std::string(fShownWidth, ' ') + "\r").c_str(), stderr);
    std::fflush(stderr);
  }
  fDrawn = false;
  fEnabled = false;
}

void PrintLoadWarnings(const kovra::TImageLoadResult& result) {
  for (const std::string& line : result.Log)
    if (line.rfind("WARNING!!! ", 0) == 0) PrintLine(stderr, line);
}

kovra::TExportContext ExportContextOf(const kovra::TImageLoadResult& result,
                                      kovra::TExportHooks& hooks) {
  kovra::TExportContext ctx;
  ctx.LoadedImageName = result.LoadedImageName;
  ctx.Geometry = result.Geometry;
  ctx.Hooks = &hooks;
  return ctx;
}

}  // namespace fullflash
