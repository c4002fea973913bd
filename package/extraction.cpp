#include "package/extraction.h"

#include <cstring>
#include <random>
#include <vector>

#include "launcher/owned.h"
#include "launcher/process_state.h"
#include "messages/message_box.h"

namespace {

void CloseFile(HANDLE file) {
    CloseHandle(file);
}

using FileHandle = Owned<HANDLE, CloseFile, nullptr>;

FileHandle OwnFile(HANDLE file) {
    return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// A planted name is skipped, not written through; after this many planted names in a row the
// extraction gives up.
constexpr int kTemporaryNameAttempts = 100;

bool Fits(const std::wstring& text, size_t capacity) {
    return text.size() < capacity;
}

bool WriteWhole(HANDLE file, const PackageBytes& package) {
    DWORD written = 0;
    return WriteFile(file, package.data, package.size, &written, nullptr) && written == package.size;
}

std::optional<std::wstring> QueryTemporaryDirectory() {
    wchar_t buffer[kTempDirectoryCapacity];
    DWORD length = GetTempPathW(static_cast<DWORD>(kTempDirectoryCapacity), buffer);
    if (length == 0 || length >= kTempDirectoryCapacity) {
        return std::nullopt;
    }
    return std::wstring(buffer, length);
}

bool ExtractToUserPath(std::wstring& path, const std::wstring& resourceName, UINT suffixId) {
    std::wstring suffix;
    if (suffixId != 0) {
        // One character more than the capacity, so that a text over it is seen, not cut.
        suffix = LoadText(ModuleHandle, suffixId, static_cast<int>(kSuffixCapacity) + 1);
        if (!Fits(suffix, kSuffixCapacity)) {
            return false;
        }
    }
    std::optional<std::wstring> name = ComposeExtractName(path, suffix);
    if (!name) {
        return false;
    }
    path = *name;

    std::optional<PackageBytes> package = FindPackage(resourceName);
    if (!package) {
        return false;
    }
    FileHandle file = OwnFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteWhole(file.Get(), *package);
}

// Marks a file that this process created and still holds for removal when the handle closes:
// a temporary file that could not be written whole is of no use to anyone.
void RemoveOnClose(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
}

bool ExtractToTemporaryFile(std::wstring& path, const std::wstring& resourceName) {
    std::optional<std::wstring> directory = QueryTemporaryDirectory();
    if (!directory) {
        return false;
    }
    std::wstring name = TemporaryNameSource(*directory);
    if (!Fits(name, kPathCapacity)) {
        return false;
    }
    path = name;

    std::optional<PackageBytes> package = FindPackage(resourceName);
    if (!package) {
        return false;
    }
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        if (attempt > 0) {
            path = TemporaryNameSource(*directory);
        }
        // CREATE_NEW fails on any existing name, a link or a dangling link included, so a name
        // that someone planted since it was chosen is never written through.
        FileHandle file = OwnFile(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            if (WriteWhole(file.Get(), *package)) {
                return true;
            }
            RemoveOnClose(file.Get());
            return false;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

}  // namespace

std::wstring (*TemporaryNameSource)(const std::wstring& directory) = MakeTemporaryName;

// Compares the file's whole content with the package, a chunk at a time: the package is never
// copied in memory.
bool FileHoldsPackage(HANDLE file, const PackageBytes& package) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart != package.size) {
        return false;
    }
    constexpr DWORD kChunk = 64 * 1024;
    std::vector<unsigned char> chunk(kChunk);
    const auto* expected = static_cast<const unsigned char*>(package.data);
    DWORD offset = 0;
    while (offset < package.size) {
        DWORD wanted = package.size - offset < kChunk ? package.size - offset : kChunk;
        DWORD read = 0;
        if (!ReadFile(file, chunk.data(), wanted, &read, nullptr) || read != wanted ||
            memcmp(chunk.data(), expected + offset, wanted) != 0) {
            return false;
        }
        offset += wanted;
    }
    return true;
}

std::optional<PackageBytes> FindPackage(const std::wstring& resourceName) {
    HRSRC resource = FindResourceW(ModuleHandle, resourceName.c_str(), L"MSP");
    if (resource == nullptr) {
        return std::nullopt;
    }
    DWORD size = SizeofResource(ModuleHandle, resource);
    if (size == 0) {
        return std::nullopt;
    }
    HGLOBAL loaded = LoadResource(ModuleHandle, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return std::nullopt;
    }
    return PackageBytes{data, size};
}

std::optional<std::wstring> ComposeExtractName(const std::wstring& path, const std::wstring& suffix) {
    if (!Fits(path, kPathCapacity)) {
        return std::nullopt;
    }
    std::wstring directory;
    std::wstring lastComponent = path;
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) {
        lastComponent = path.substr(slash + 1);
        // The backslash of a drive root (C:\) or a leading one is part of the directory.
        bool isRoot = slash == 0 || path[slash - 1] == L':';
        directory = path.substr(0, isRoot ? slash + 1 : slash);
    }
    std::wstring fileName = lastComponent;
    std::wstring extension;
    size_t dot = lastComponent.rfind(L'.');
    if (dot != std::wstring::npos) {
        fileName = lastComponent.substr(0, dot);
        extension = lastComponent.substr(dot);
    }
    fileName += suffix;
    if (!Fits(directory, kPathCapacity) || !Fits(fileName, kNamePartCapacity) ||
        !Fits(extension, kNamePartCapacity)) {
        return std::nullopt;
    }
    std::wstring composed = directory;
    if (!composed.empty() && composed.back() != L'\\') {
        composed += L'\\';
    }
    composed += fileName;
    composed += extension;
    if (!Fits(composed, kPathCapacity)) {
        return std::nullopt;
    }
    return composed;
}

std::wstring MakeTemporaryName(const std::wstring& directory) {
    // Names drawn at random are hard to predict and so hard to plant ahead of time.
    static std::random_device source;
    std::wstring prefix = directory;
    if (!prefix.empty() && prefix.back() != L'\\') {
        prefix += L'\\';
    }
    prefix += L"MSP";
    std::wstring name;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        name = prefix + std::to_wstring(source());
        if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) {
            break;
        }
    }
    return name;
}

bool ExtractPackage(std::wstring& path, const std::wstring& resourceName, UINT suffixId) {
    if (path.empty()) {
        return ExtractToTemporaryFile(path, resourceName);
    }
    return ExtractToUserPath(path, resourceName, suffixId);
}

LockedPackage::~LockedPackage() {
    if (lock_ != nullptr) {
        CloseHandle(lock_);
        DeleteFileW(path_.c_str());
    }
}

bool LockedPackage::Extract(const std::wstring& resourceName) {
    std::wstring path;
    if (!ExtractPackage(path, resourceName, 0)) {
        return false;
    }
    std::optional<PackageBytes> package = FindPackage(resourceName);
    FileHandle lock = OwnFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Between the write and the lock another process could have put a file of its own in place;
    // only the very bytes of the package may reach Windows Installer.
    if (!package || !lock || !FileHoldsPackage(lock.Get(), *package)) {
        return false;
    }
    path_ = path;
    lock_ = lock.Release();
    return true;
}
