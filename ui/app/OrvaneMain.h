#pragma once
// The program's run: the Qt application, the posted-message loop, the application object over
// the user's store, and the main view as a top-level window until it is closed.
#include <string>

// Registers the compiled-in context menus.
void RegisterProgramMenus();

int RunOrvane(int argc, char** argv);

// For a start that cannot go on (the data folder is held by another copy, or unusable): shows
// `message` in a dialog, since a desktop user sees no terminal, and returns 1 once it is closed.
int ShowStartFailure(int argc, char** argv, const std::string& message);
