// The real Windows Installer of the test prefix: installing, removing and advertising the test
// products that tools/fixtures/catalog.py made, and counting the handles the launcher opens.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

// The folder of the fixtures, as given on the command line (a Windows path).
extern std::wstring FixturesDirectory;
std::wstring Fixture(const std::wstring& name);

UINT InstallProduct(const std::wstring& msiName);
UINT RemoveProduct(const std::wstring& code);
// Deletes the value that makes an installed product count as installed rather than advertised.
bool AdvertiseProduct(const std::wstring& code);

// The interface level in force, read without changing it.
INSTALLUILEVEL CurrentInterfaceLevel();

// The installed file of a product made by the catalog.
std::wstring InstalledFile(const std::wstring& code);

// Counts the summary and product handles opened and closed through the launcher's Windows
// Installer interface while the object lives; the calls still go to msi.dll.
class HandleCounter {
public:
    HandleCounter();
    ~HandleCounter();
    HandleCounter(const HandleCounter&) = delete;
    HandleCounter& operator=(const HandleCounter&) = delete;

    int Opened() const;
    int Closed() const;
};
