#pragma once
// What the export commands tell the user while they run, and where they let
// the window breathe. The main window connects its gauge, log memo and status
// bar; fullflash draws a progress bar; tests record. Every hook does nothing
// by default.
#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageTypes.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"

namespace kovra {

class TExportHooks {
 public:
  virtual ~TExportHooks() = default;
  // The progress gauge: maximum and position from 0; StepGauge advances it.
  virtual void SetGaugeMax(int64_t max) {}
  virtual void SetGaugePosition(int64_t position) {}
  virtual void StepGauge(int64_t delta) {}
  // Lets pending window messages be processed (repaints, a click on Stop).
  virtual void ProcessMessages() {}
  // The log memo: a new line; text added to the end of the last line; the
  // last line replaced and redrawn at once.
  virtual void AppendLogLine(const std::string& line) {}
  virtual void AppendToLastLogLine(const std::string& text) {}
  virtual void ReplaceLastLogLine(const std::string& line) {}
  // Status bar panel 0.
  virtual void SetStatusText(const std::string& text) {}
  // A pause that lets the user see a text before it changes.
  virtual void Wait(uint32_t milliseconds) {}
};

// Log lines as a memo holds them, for hooks that keep the log themselves.
struct TExportLogLines {
  std::vector<std::string> Lines;
  void Append(const std::string& line) { Lines.push_back(line); }
  void AppendToLast(const std::string& text) {
    if (Lines.empty()) Lines.emplace_back();
    Lines.back() += text;
  }
  void ReplaceLast(const std::string& line) {
    if (Lines.empty()) Lines.emplace_back();
    Lines.back() = line;
  }
};

// What every export command works on: the loaded image and its geometry,
// and the seams it reads, writes and reports through.
struct TExportContext {
  std::string LoadedImageName;
  ImageGeometry Geometry;
  TExportHooks* Hooks = nullptr;                   // null: nobody watches
  std::vector<uint8_t>* TransferBuffer = nullptr;  // null: the command's own buffer
  TFileOpener* Opener = nullptr;                   // null: the real file system
  TFileCreator* Creator = nullptr;                 // null: the real file system
};

}  // namespace kovra
