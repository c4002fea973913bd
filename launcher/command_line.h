// The launcher's switches.
#pragma once

#include <string>

struct LaunchOptions {
    bool quiet = false;        // "/q": the message routine shows nothing
    bool extract = false;      // "/e": write the embedded packages out
    bool apply = true;         // the default run; "/e", "/i" and "/pi" turn it off
    bool report = false;       // "/i": show the package report
    std::wstring extractPath;  // the argument after "/e", unchanged; may be empty
};

// Stores an extract path; returns false when memory runs out, leaving the destination as it was.
using StorePathFunction = bool (*)(std::wstring& destination, const wchar_t* value);
bool StorePath(std::wstring& destination, const wchar_t* value);

// Applies the switch rules to an argument array whose element 0 is the program's own path.
// Starts from the values of a new parse (everything but `report`, which keeps its value),
// compares each argument whole, ignoring the case of A to Z only, and ends early at "/i",
// "/pi", or when storePath fails.
void ParseArguments(int count, const wchar_t* const* arguments, LaunchOptions& options,
                    StorePathFunction storePath = StorePath);

// Fills the process-wide options from the process command line (GetCommandLineW split by
// CommandLineToArgvW). A command line that cannot be split leaves the starting values.
void ParseCommandLine();
