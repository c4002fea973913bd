// Applying one embedded package to every installed product that it targets.
#pragma once

#include <windows.h>

#include <string>

// The outcome of applying one package.
enum class StageResult { Halt = 1, Applied = 2, UpToDate = 3 };

// One targeted product of the package being applied. Copied and discarded whole.
struct ProductEntry {
    std::wstring productCode;       // as written in the package's product list
    std::wstring upgradeVersion;    // the version the package brings a product to
    std::wstring productName;       // the installed product's "ProductName"
    std::wstring language;          // the installed product's "Language", a decimal language id
    std::wstring commandLine;       // the Windows Installer command line; set when patched
    std::wstring targetVersions;    // the versions the package applies to, ','-separated
    std::wstring installedVersion;  // the installed product's "VersionString"
};

// Applies package resource `resourceName` to the installed products it targets, showing
// `failureMessageId` for an unreadable package or a failed reconfiguration. With `global` set,
// CurrentProductName follows the product being handled.
StageResult ApplyEmbeddedPackage(const std::wstring& resourceName, UINT failureMessageId, bool global);

// Capacity of the log directory and the log path, in characters, null included.
constexpr size_t kLogPathCapacity = 260;

// The directory for the verbose logs: the temporary directory without its trailing backslash,
// created when missing, or "c:" when there is none. `buffer` holds `capacity` characters.
void ResolveWorkingDirectory(wchar_t* buffer, size_t capacity);

// The verbose log of a product: "<directory>\<product name> SP1.log" in at most 259 characters.
// Characters a file name cannot hold become '_'; a name too long is cut; a directory too long
// for any name gives way to "c:".
std::wstring ComposeLogPath(const std::wstring& directory, const std::wstring& productName);

// Removes one trailing backslash, unless it follows a ':' (C:\ stays).
void StripTrailingBackslash(std::wstring& path);

// True when `path` names an existing directory.
bool DirectoryExists(const std::wstring& path);
