// Small fixtures shared by the unit tests: a private temporary directory, a recorder of the
// message boxes shown, and scoped changes of the process-wide values.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "diagnostics/os_description.h"
#include "launcher/process_state.h"
#include "messages/message_box.h"

std::string Narrow(const std::wstring& text);

// A fresh directory that TMP and TEMP point at while the object lives; removed with its files
// afterwards.
class ScopedTempDirectory {
public:
    ScopedTempDirectory();
    ~ScopedTempDirectory();
    ScopedTempDirectory(const ScopedTempDirectory&) = delete;
    ScopedTempDirectory& operator=(const ScopedTempDirectory&) = delete;

    // The directory without a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Names of the files in the directory, sorted.
    std::vector<std::wstring> Files() const;

private:
    std::wstring path_;
    std::wstring savedTmp_;
    std::wstring savedTemp_;
};

struct ShownBox {
    std::wstring text;
    std::wstring caption;
    UINT style;
    HWND owner;
};

// Records every box instead of showing it, for the lifetime of the object.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    const std::vector<ShownBox>& Boxes() const;

private:
    MessageBoxFunction saved_;
};

// Resets the process-wide values on entry and on exit.
class ScopedProcessState {
public:
    ScopedProcessState();
    ~ScopedProcessState();
    ScopedProcessState(const ScopedProcessState&) = delete;
    ScopedProcessState& operator=(const ScopedProcessState&) = delete;

private:
    HINSTANCE savedModule_;
    LCID savedLocale_;
};

// Puts other sources of the system's version facts in place for the lifetime of the object.
class ScopedOsSources {
public:
    explicit ScopedOsSources(const OsInfoSources& sources) : saved_(OsSources) { OsSources = sources; }
    ~ScopedOsSources() { OsSources = saved_; }
    ScopedOsSources(const ScopedOsSources&) = delete;
    ScopedOsSources& operator=(const ScopedOsSources&) = delete;

private:
    OsInfoSources saved_;
};

// The resource module with all three packages, loaded as data.
HMODULE ThreePackageModule();

// The file's bytes; nothing when it cannot be opened. Opened with every sharing allowed.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
// The file's bytes widened one to one, or "<missing>".
std::wstring ReadFileText(const std::wstring& path);
bool WriteFileText(const std::wstring& path, const std::string& content);
bool FileExists(const std::wstring& path);

// The English text of a catalogue message, for expectations.
std::wstring English(UINT id);
