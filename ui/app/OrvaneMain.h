#pragma once
// The program's run: the Qt application, the posted-message loop, the application object over
// the user's store, and the main view as a top-level window until it is closed.
// Registers the compiled-in context menus.
void RegisterProgramMenus();

int RunOrvane(int argc, char** argv);
