// The values that live for the whole run, shared by the flows on the launcher's one thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "launcher/command_line.h"
#include "patching/apply.h"

// The module whose resources hold the string table and the packages. Set first thing in a run.
extern HINSTANCE ModuleHandle;

// The parsed switches; filled once by ParseCommandLine, read afterwards.
extern LaunchOptions Options;

// The product name inserted into messages 301, 306 and 308; empty until a product of the global
// package is handled.
extern std::wstring CurrentProductName;

// The products accepted for the package being applied, in the order of its product list.
extern std::vector<ProductEntry> AcceptedProducts;
