// Writing an embedded package resource (type "MSP") to a file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Capacities of the texts that name an extracted file, in characters, null included.
constexpr size_t kPathCapacity = 260;           // the given path, its directory part, the result
constexpr size_t kNamePartCapacity = 256;       // the file name (suffix included); the extension
constexpr size_t kSuffixCapacity = 260;         // the suffix text from the string table
constexpr size_t kTempDirectoryCapacity = 1024; // the temporary directory

// The bytes of an embedded package, as loaded from the module's resources; never freed.
struct PackageBytes {
    const void* data = nullptr;
    DWORD size = 0;
};

// Finds resource `resourceName` of type "MSP" in ModuleHandle. Nothing when it is absent, empty,
// or cannot be loaded.
std::optional<PackageBytes> FindPackage(const std::wstring& resourceName);

// The name that "/e" gives a package: `path` with `suffix` inserted before the extension of its
// last component. Nothing when a part exceeds its capacity.
std::optional<std::wstring> ComposeExtractName(const std::wstring& path, const std::wstring& suffix);

// A name in `directory` that does not exist yet: "MSP" followed by a decimal number drawn at
// random. The file is not created.
std::wstring MakeTemporaryName(const std::wstring& directory);

// Where the temporary road takes its names: MakeTemporaryName unless a test replaced it.
extern std::wstring (*TemporaryNameSource)(const std::wstring& directory);

// True when the file, read from its current position, holds exactly the package's bytes.
bool FileHoldsPackage(HANDLE file, const PackageBytes& package);

// Writes the package resource `resourceName` to a file and returns true when the whole resource
// was written and the file closed.
// - `path` not empty: the file is named by ComposeExtractName(path, string `suffixId`, or no
//   suffix when suffixId is 0); an existing file of that name is replaced.
// - `path` empty: the file is a new one in the temporary directory, created exclusively: a name
//   that exists by the time it is opened is never written through; another is tried instead.
// `path` is rewritten with the name of the file written or tried as soon as the name is settled,
// so it names the file even when the call fails later. It is left unchanged when no name could
// be made (no temporary directory, or a part over its capacity). No message is shown.
bool ExtractPackage(std::wstring& path, const std::wstring& resourceName, UINT suffixId);

// A package written to a new temporary file and held open for reading while denying write and
// delete to everyone else, so that the file cannot be swapped while it is in use. When the
// object goes away the lock is released and the file removed.
class LockedPackage {
public:
    LockedPackage() = default;
    LockedPackage(const LockedPackage&) = delete;
    LockedPackage& operator=(const LockedPackage&) = delete;
    ~LockedPackage();

    // Extracts `resourceName` to a new temporary file, locks it, and checks that what it holds is
    // byte for byte the embedded package. False when any step fails; a file that was written but
    // does not hold the package is then left alone.
    bool Extract(const std::wstring& resourceName);

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    HANDLE lock_ = nullptr;
};
