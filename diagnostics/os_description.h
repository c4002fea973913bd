// The name and version of the running Windows, as the package report shows them.
#pragma once

#include <windows.h>

#include <string>

#include "patching/version.h"

// Where the description reads the platform's facts; the platform's own functions unless a test
// replaced them.
struct OsInfoSources {
    BOOL(WINAPI* getVersionEx)(LPOSVERSIONINFOW info);
    // GetNativeSystemInfo looked up by name in kernel32.dll; null where the system lacks it.
    void(WINAPI* (*findNativeSystemInfo)())(LPSYSTEM_INFO info);
    void(WINAPI* getSystemInfo)(LPSYSTEM_INFO info);
};
extern OsInfoSources OsSources;
OsInfoSources SystemOsInfoSources();

// Replaces `name` (preset by the caller, "Windows") by the product name of the running Windows
// NT release and appends its edition, and sets `version` to (major, minor, 0, 0). Leaves both as
// they are when no version can be read or the platform is not NT. Names end in one space, as the
// report writes "(" straight after them.
void DescribeOperatingSystem(std::wstring& name, FourPartVersion& version);
