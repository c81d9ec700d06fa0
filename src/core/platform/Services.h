#pragma once
// What the window logic needs from the platform beyond its widgets: letting
// pending window messages run during long work, modal message boxes, and the
// host process's executable path. The Windows layer fills these in; native
// tests script them.
#include <functional>
#include <string>

namespace kovra {

struct TPlatformServices {
  // Lets pending window messages be processed (clicks on "&Stop" arrive so).
  std::function<void()> ProcessMessages;
  // A modal message box with an error icon and one OK button, centred on
  // the screen.
  std::function<void(const std::string& text)> ErrorBox;
  // The full path of the host process's executable.
  std::function<std::string()> HostExecutablePath;
  // Deletes a file; a missing file is not an error. Returns true when no
  // file is left under that name.
  std::function<bool(const std::string& path)> DeleteFile;
  // Sleeps while letting nothing else run (a pause the user should see).
  std::function<void(unsigned milliseconds)> Sleep;

  void Pump() const {
    if (ProcessMessages) ProcessMessages();
  }
  void ShowError(const std::string& text) const {
    if (ErrorBox) ErrorBox(text);
  }
};

}  // namespace kovra
