// The Windows Installer operations the launcher uses, behind one record of function pointers.
// The record holds msi.dll's own functions; unit tests put stand-ins in its place for the
// answers Wine's Windows Installer never gives.
#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "launcher/owned.h"

struct MsiApi {
    UINT(WINAPI* getSummaryInformation)(MSIHANDLE database, LPCWSTR path, UINT updateCount,
                                        MSIHANDLE* summary);
    UINT(WINAPI* summaryInfoGetProperty)(MSIHANDLE summary, UINT property, UINT* type, INT* value,
                                         FILETIME* time, LPWSTR buffer, DWORD* count);
    UINT(WINAPI* closeHandle)(MSIHANDLE handle);
    INSTALLSTATE(WINAPI* queryProductState)(LPCWSTR product);
    UINT(WINAPI* getProductInfo)(LPCWSTR product, LPCWSTR attribute, LPWSTR buffer, DWORD* count);
    UINT(WINAPI* openProduct)(LPCWSTR product, MSIHANDLE* handle);
    UINT(WINAPI* getProductProperty)(MSIHANDLE product, LPCWSTR property, LPWSTR buffer, DWORD* count);
    INSTALLUILEVEL(WINAPI* setInternalUI)(INSTALLUILEVEL level, HWND* window);
    UINT(WINAPI* enableLog)(DWORD mode, LPCWSTR path, DWORD attributes);
    UINT(WINAPI* configureProductEx)(LPCWSTR product, int level, INSTALLSTATE state, LPCWSTR commandLine);
};

// The operations in use; msi.dll's unless a test replaced them.
extern MsiApi Msi;

// msi.dll's own operations.
MsiApi SystemMsiApi();

void CloseMsiHandle(MSIHANDLE handle);

// A summary or product handle, closed exactly once with MsiCloseHandle.
using MsiHandle = Owned<MSIHANDLE, CloseMsiHandle, MSIHANDLE{0}>;

// How a Windows Installer result of a reconfiguration counts.
enum class ConfigureOutcome { Success, RebootInitiated, RebootRequired, Failure };
ConfigureOutcome ClassifyConfigureResult(UINT result);
