#include "diagnostics/os_description.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// The machine the description reads, as the two version reads and the system information
// report it.
struct Machine {
    DWORD major, minor, platform = VER_PLATFORM_WIN32_NT;
    WORD productType = VER_NT_WORKSTATION;
    WORD suite = 0;
    WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
    bool extendedReadable = true;
    bool plainReadable = true;
    bool hasNativeSystemInfo = true;
};

Machine machine;
bool nativeCalled = false;

BOOL WINAPI FakeGetVersionEx(LPOSVERSIONINFOW info) {
    const bool extended = info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW);
    if (extended ? !machine.extendedReadable : !machine.plainReadable) {
        return FALSE;
    }
    info->dwMajorVersion = machine.major;
    info->dwMinorVersion = machine.minor;
    info->dwPlatformId = machine.platform;
    if (extended) {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXW*>(info);
        ex->wProductType = static_cast<BYTE>(machine.productType);
        ex->wSuiteMask = machine.suite;
    }
    return TRUE;
}

void WINAPI FakeNativeSystemInfo(LPSYSTEM_INFO info) {
    nativeCalled = true;
    info->wProcessorArchitecture = machine.architecture;
}

// Without the native read a 64-bit machine looks like the 32-bit world the caller runs in.
void WINAPI FakeSystemInfo(LPSYSTEM_INFO info) {
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
}

void(WINAPI* FindFakeNative())(LPSYSTEM_INFO) {
    return machine.hasNativeSystemInfo ? FakeNativeSystemInfo : nullptr;
}

struct DescriptionCase {
    const char* what;
    Machine machine;
    std::wstring name;
    std::wstring version;
};

std::ostream& operator<<(std::ostream& out, const DescriptionCase& c) {
    return out << c.what;
}

class Descriptions : public testing::TestWithParam<DescriptionCase> {
protected:
    ScopedOsSources sources{OsInfoSources{FakeGetVersionEx, FindFakeNative, FakeSystemInfo}};
};

TEST_P(Descriptions, NameTheReleaseAndItsEdition) {
    machine = GetParam().machine;
    std::wstring name = L"Windows";
    FourPartVersion version;
    DescribeOperatingSystem(name, version);
    EXPECT_EQ(name, GetParam().name);
    EXPECT_EQ(FormatVersion(version), GetParam().version);
}

constexpr WORD kAmd64 = PROCESSOR_ARCHITECTURE_AMD64;
constexpr WORD kServer = VER_NT_SERVER;
constexpr WORD kPersonal = VER_SUITE_PERSONAL;

INSTANTIATE_TEST_SUITE_P(Table, Descriptions, testing::Values(
    DescriptionCase{"6.0 workstation", {6, 0}, L"Windows Vista Professional ", L"6.0.0.0"},
    DescriptionCase{"6.1 workstation", {6, 1}, L"Windows Vista Professional ", L"6.1.0.0"},
    DescriptionCase{"6.0 home", {6, 0, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, kPersonal},
                    L"Windows Vista Home Edition ", L"6.0.0.0"},
    DescriptionCase{"6.0 server", {6, 0, VER_PLATFORM_WIN32_NT, kServer}, L"Windows Server \"Longhorn\" ", L"6.0.0.0"},
    DescriptionCase{"6.1 workstation on AMD64", {6, 1, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, 0, kAmd64},
                    L"Windows Vista ", L"6.1.0.0"},
    DescriptionCase{"XP x64", {5, 2, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, 0, kAmd64},
                    L"Microsoft Windows XP Professional x64 Edition ", L"5.2.0.0"},
    DescriptionCase{"5.2 workstation on x86", {5, 2}, L"Microsoft Windows Server 2003Professional ", L"5.2.0.0"},
    DescriptionCase{"Server 2003", {5, 2, VER_PLATFORM_WIN32_NT, kServer}, L"Microsoft Windows Server 2003",
                    L"5.2.0.0"},
    DescriptionCase{"Server 2003 on AMD64", {5, 2, VER_PLATFORM_WIN32_NT, kServer, 0, kAmd64},
                    L"Microsoft Windows Server 2003", L"5.2.0.0"},
    DescriptionCase{"XP home", {5, 1, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, kPersonal},
                    L"Microsoft Windows XP Home Edition ", L"5.1.0.0"},
    DescriptionCase{"XP professional", {5, 1}, L"Microsoft Windows XP Professional ", L"5.1.0.0"},
    DescriptionCase{"2000 server", {5, 0, VER_PLATFORM_WIN32_NT, kServer}, L"Microsoft Windows 2000 ", L"5.0.0.0"},
    DescriptionCase{"2000 professional", {5, 0}, L"Microsoft Windows 2000 Professional ", L"5.0.0.0"},
    DescriptionCase{"5.3", {5, 3}, L"WindowsProfessional ", L"5.3.0.0"},
    DescriptionCase{"5.3 on AMD64", {5, 3, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, 0, kAmd64}, L"Windows",
                    L"5.3.0.0"},
    DescriptionCase{"NT 4.0 workstation", {4, 0}, L"Microsoft Windows NT Workstation 4.0 ", L"4.0.0.0"},
    DescriptionCase{"NT 4.0 server", {4, 0, VER_PLATFORM_WIN32_NT, kServer}, L"Microsoft Windows NT ", L"4.0.0.0"},
    DescriptionCase{"NT 3.51", {3, 51}, L"Microsoft Windows NT Professional ", L"3.51.0.0"},
    DescriptionCase{"10.0 workstation", {10, 0}, L"WindowsProfessional ", L"10.0.0.0"},
    DescriptionCase{"10.0 home", {10, 0, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, kPersonal},
                    L"WindowsHome Edition ", L"10.0.0.0"},
    DescriptionCase{"10.0 server", {10, 0, VER_PLATFORM_WIN32_NT, kServer}, L"Windows", L"10.0.0.0"},
    DescriptionCase{"7.0 workstation", {7, 0}, L"WindowsProfessional ", L"7.0.0.0"},
    DescriptionCase{"a version beyond 16 bits keeps its low bits", {65537, 2}, L"WindowsProfessional ", L"1.2.0.0"},
    DescriptionCase{"plain record only, 6.1", {6, 1, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, 0, 0, false},
                    L"Windows Server \"Longhorn\" ", L"6.1.0.0"},
    DescriptionCase{"plain record only, 5.2", {5, 2, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, 0, 0, false},
                    L"Microsoft Windows Server 2003", L"5.2.0.0"},
    DescriptionCase{"plain record only, 5.1", {5, 1, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, kPersonal, 0, false},
                    L"Microsoft Windows XP ", L"5.1.0.0"},
    DescriptionCase{"no version readable", {6, 1, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, 0, 0, false, false},
                    L"Windows", L"0.0.0.0"},
    DescriptionCase{"not NT", {4, 10, VER_PLATFORM_WIN32_WINDOWS}, L"Windows", L"0.0.0.0"},
    DescriptionCase{"no native read: the 32-bit view decides",
                    {5, 2, VER_PLATFORM_WIN32_NT, VER_NT_WORKSTATION, 0, kAmd64, true, true, false},
                    L"Microsoft Windows Server 2003Professional ", L"5.2.0.0"}));

TEST(DescriptionOfThisMachine, UsesTheNativeArchitectureWhenItCanBeLookedUp) {
    // Whatever Wine reports: a 64-bit program on a 64-bit system sees AMD64 and no edition.
    std::wstring name = L"Windows";
    FourPartVersion version;
    DescribeOperatingSystem(name, version);
    EXPECT_NE(FormatVersion(version), L"0.0.0.0");
    EXPECT_EQ(name.find(L"Professional"), std::wstring::npos) << Narrow(name);
}

}  // namespace
