#include "diagnostics/os_description.h"

namespace {

using SystemInfoFunction = void(WINAPI*)(LPSYSTEM_INFO);

SystemInfoFunction FindNativeSystemInfo() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return nullptr;
    }
    // Looked up by name: Windows before XP has no such function.
    return reinterpret_cast<SystemInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
}

BOOL WINAPI ReadVersion(LPOSVERSIONINFOW info) {
    return GetVersionExW(info);
}

const wchar_t* ChooseName(DWORD major, DWORD minor, WORD productType, WORD architecture) {
    if (major == 6) {
        return productType == VER_NT_WORKSTATION ? L"Windows Vista " : L"Windows Server \"Longhorn\" ";
    }
    if (major == 5 && minor == 2) {
        return productType == VER_NT_WORKSTATION && architecture == PROCESSOR_ARCHITECTURE_AMD64
                   ? L"Microsoft Windows XP Professional x64 Edition "
                   : L"Microsoft Windows Server 2003";
    }
    if (major == 5 && minor == 1) {
        return L"Microsoft Windows XP ";
    }
    if (major == 5 && minor == 0) {
        return L"Microsoft Windows 2000 ";
    }
    if (major <= 4) {
        return L"Microsoft Windows NT ";
    }
    return nullptr;
}

}  // namespace

OsInfoSources SystemOsInfoSources() {
    return OsInfoSources{ReadVersion, FindNativeSystemInfo, GetSystemInfo};
}

OsInfoSources OsSources = SystemOsInfoSources();

void DescribeOperatingSystem(std::wstring& name, FourPartVersion& version) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    const bool extended = OsSources.getVersionEx(reinterpret_cast<LPOSVERSIONINFOW>(&info)) != FALSE;
    if (!extended) {
        info = OSVERSIONINFOEXW{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!OsSources.getVersionEx(reinterpret_cast<LPOSVERSIONINFOW>(&info))) {
            return;
        }
        info.wSuiteMask = 0;
        info.wProductType = 0;
    }

    SYSTEM_INFO system{};
    SystemInfoFunction native = OsSources.findNativeSystemInfo();
    (native != nullptr ? native : OsSources.getSystemInfo)(&system);
    const WORD architecture = system.wProcessorArchitecture;

    if (info.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        return;
    }
    version = FourPartVersion{static_cast<uint16_t>(info.dwMajorVersion), static_cast<uint16_t>(info.dwMinorVersion), 0, 0};

    if (const wchar_t* chosen = ChooseName(info.dwMajorVersion, info.dwMinorVersion, info.wProductType, architecture)) {
        name = chosen;
    }
    if (extended && info.wProductType == VER_NT_WORKSTATION && architecture != PROCESSOR_ARCHITECTURE_AMD64) {
        if (info.dwMajorVersion == 4) {
            name += L"Workstation 4.0 ";
        } else if ((info.wSuiteMask & VER_SUITE_PERSONAL) != 0) {
            name += L"Home Edition ";
        } else {
            name += L"Professional ";
        }
    }
}
