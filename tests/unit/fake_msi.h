// A stand-in for msi.dll for the paths Wine's Windows Installer never takes. It keeps the real
// contracts: counts in characters without the null, ERROR_MORE_DATA (234) with the needed length,
// an absent summary property answered as VT_EMPTY with the buffer untouched, and every handle
// counted so that a test can prove it was closed exactly once.
// It is driven by tables: the packages (found by the content of the file at the path it is
// given, so only files that really exist can be opened) and the installed products.
#pragma once

#include <windows.h>
#include <msi.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "patching/msi_api.h"
#include "test_support.h"

struct FakePackage {
    std::optional<std::wstring> targetProducts;   // property 7; nullopt: absent
    std::optional<std::wstring> versionKeywords;  // property 5
    std::optional<std::wstring> variant;          // property 18
    std::map<UINT, UINT> failures;                // property -> the error its reads answer
};

struct FakeProduct {
    INSTALLSTATE state = INSTALLSTATE_DEFAULT;
    std::wstring versionString;
    std::wstring productName;
    std::wstring language = L"1033";
    std::optional<std::wstring> variant;  // "PluLicenseNumber"; nullopt reads as empty text
    UINT infoResult = ERROR_SUCCESS;      // answer of MsiGetProductInfoW when not 0
    UINT openResult = ERROR_SUCCESS;
    UINT configureResult = ERROR_SUCCESS;
};

struct ConfigureCall {
    std::wstring productCode;
    std::wstring commandLine;
    INSTALLUILEVEL levelDuringCall;
    std::wstring logPath;        // the log enabled when the call was made
    std::string packageContent;  // what the file named by PATCH= held
    bool packageLocked;          // nobody else could write, delete or rename that file
};

struct FakeMsi {
    // Keyed by the text content of the package file.
    std::map<std::string, FakePackage> packages;
    std::map<std::wstring, FakeProduct> products;

    // What happened.
    std::vector<std::wstring> summaryPaths;  // each path MsiGetSummaryInformationW opened
    std::vector<DWORD> summaryCounts;        // each count a property read was called with
    std::vector<ConfigureCall> configureCalls;
    std::vector<std::wstring> openedProducts;
    std::vector<INSTALLUILEVEL> levelsAtOpen;
    std::vector<std::wstring> queriedStates;  // each product code whose state was asked
    std::set<MSIHANDLE> openHandles;
    std::vector<MSIHANDLE> badCloses;  // handles closed twice or never issued
    INSTALLUILEVEL level = INSTALLUILEVEL_DEFAULT;
    std::wstring logPath;
    DWORD logMode = 0;
    MSIHANDLE nextHandle = 100;
};

// Puts the fake in place of msi.dll for the lifetime of the object.
class ScopedFakeMsi {
public:
    explicit ScopedFakeMsi(FakeMsi& fake);
    ~ScopedFakeMsi();
    ScopedFakeMsi(const ScopedFakeMsi&) = delete;
    ScopedFakeMsi& operator=(const ScopedFakeMsi&) = delete;

private:
    MsiApi saved_;
};

// Everything a test of a whole flow stands in: fresh process-wide values, a private temporary
// directory, recorded boxes and the stand-in Windows Installer.
struct FlowSandbox {
    ScopedProcessState state;
    ScopedTempDirectory temp;
    BoxRecorder boxes;
    FakeMsi fake;
    ScopedFakeMsi scoped{fake};
};
