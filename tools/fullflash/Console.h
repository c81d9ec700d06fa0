#pragma once
// Command-line arguments as UTF-8, and the console set up for UTF-8 output.
// On Windows the arguments come from the wide command line and the core's
// 8-bit names are read in the system code page.
#include <string>
#include <vector>

namespace fullflash {

class TConsoleArgs {
 public:
  TConsoleArgs(int argc, char** argv);
  int Count() const { return static_cast<int>(fPointers.size()) - 1; }
  char** Values() { return fPointers.data(); }

 private:
  std::vector<std::string> fArgs;
  std::vector<char*> fPointers;   // null-terminated like argv
};

}  // namespace fullflash
