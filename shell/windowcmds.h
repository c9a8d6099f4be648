#pragma once
// The Window menu's commands over the main frame's MDI client (new window,
// close, next and previous, maximise, keyboard size and move, tile,
// cascade, arrange icons) and the About box. InstallWindowCommands binds
// them to their command slots once at start-up; RemoveWindowCommands
// unbinds them.
#include <string>

void InstallWindowCommands();
void RemoveWindowCommands();

// The About box's text: product name, version and copyright of the program.
std::string AboutText();
