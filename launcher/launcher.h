// One run of the launcher, from the parsed switches to the last message.
#pragma once

#include <windows.h>

// Stores the module handle, parses the command line, runs the apply flow or else the extract and
// report flows that the switches ask for, and empties AcceptedProducts. Returns the process exit
// code, which is 0 whatever happened: outcomes reach the user through message boxes alone.
int RunLauncher(HINSTANCE instance);
