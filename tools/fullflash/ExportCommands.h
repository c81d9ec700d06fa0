#pragma once
// The export commands: save, save-all, save-image and blank.
#include "Commands.h"

namespace fullflash {

void AddSaveCommands(CLI::App& app, TCommandTable& table);       // save, save-all
void AddSaveImageCommand(CLI::App& app, TCommandTable& table);   // save-image
void AddBlankCommand(CLI::App& app, TCommandTable& table);       // blank

inline void AddExportCommands(CLI::App& app, TCommandTable& table) {
  AddSaveCommands(app, table);
  AddSaveImageCommand(app, table);
  AddBlankCommand(app, table);
}

}  // namespace fullflash
