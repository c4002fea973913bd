// Benchmark runner: a tool, never part of the launcher.
//
// Runs one program and prints one JSON line: how long it ran, from just before CreateProcessW
// to the moment its process handle is signalled, its full exit code, and, with --poll, the most
// memory it held while it ran, sampled through GetProcessMemoryInfo.
//
// Usage: bench_run.exe [--poll <ms>] [--timeout <ms>] [--env NAME=VALUE]... -- <command line>
//   The child's whole command line is the one argument after "--" (quoted as a whole).
//   --poll <ms>     start the child suspended, then sample its memory every <ms> milliseconds
//                   until it ends (0: as often as possible)
//   --timeout <ms>  end the child after this long (default 120000)
//   --env N=V       set a variable for the child only (repeatable)
// Output, one line:
//   {"exit":E,"seconds":S,"samples":N,"private_max":B,"working_set_max":B,"peak_working_set":B,
//    "pagefile_max":B,"peak_pagefile":B}
//     E: GetExitCodeProcess (unsigned); N: samples taken while the child lived; B: bytes, the
//     largest value of PrivateUsage, WorkingSetSize, PeakWorkingSetSize, PagefileUsage and
//     PeakPagefileUsage over the samples. No memory fields without --poll.
//     Under Wine 8 another process's PrivateUsage reads 0, PagefileUsage is its resident
//     anonymous memory plus swap (RssAnon + VmSwap in /proc/<pid>/status), PeakPagefileUsage
//     the same current value, and everything reads 0 once it has ended: hence the sampling.
//   {"timeout":true,"seconds":S}   the child was ended
//   {"error":"...","code":C}       C: GetLastError
// Exit code: 0 the child ended (whatever its own code), 1 timed out, 2 bad usage, 3 not started.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kExitEnded = 0;
constexpr int kExitTimedOut = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotStarted = 3;
constexpr DWORD kDefaultTimeoutMs = 120000;

struct Options {
    bool poll = false;
    DWORD pollMs = 1;
    DWORD timeoutMs = kDefaultTimeoutMs;
    std::vector<std::wstring> environment;
    std::wstring commandLine;
};

bool ParseNumber(const wchar_t* text, DWORD& value) {
    wchar_t* end = nullptr;
    unsigned long number = wcstoul(text, &end, 10);
    if (end == text || *end != L'\0') {
        return false;
    }
    value = static_cast<DWORD>(number);
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--") {
            if (i + 2 != argc || argv[i + 1][0] == L'\0') {
                return false;
            }
            options.commandLine = argv[i + 1];
            return true;
        }
        if (i + 1 >= argc) {
            return false;
        }
        if (arg == L"--poll") {
            options.poll = true;
            if (!ParseNumber(argv[++i], options.pollMs)) {
                return false;
            }
        } else if (arg == L"--timeout") {
            if (!ParseNumber(argv[++i], options.timeoutMs)) {
                return false;
            }
        } else if (arg == L"--env") {
            std::wstring assignment = argv[++i];
            if (assignment.find(L'=') == std::wstring::npos || assignment[0] == L'=') {
                return false;
            }
            options.environment.push_back(assignment);
        } else {
            return false;
        }
    }
    return false;
}

struct Memory {
    unsigned samples = 0;
    SIZE_T privateMax = 0;
    SIZE_T workingSetMax = 0;
    SIZE_T peakWorkingSet = 0;
    SIZE_T pagefileMax = 0;
    SIZE_T peakPagefile = 0;

    void Sample(HANDLE process) {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof(counters);
        if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof(counters))) {
            return;
        }
        // A process that has ended reads as zeros under Wine: such a sample says nothing.
        if (counters.WorkingSetSize == 0 && counters.PrivateUsage == 0 && counters.PagefileUsage == 0) {
            return;
        }
        ++samples;
        privateMax = counters.PrivateUsage > privateMax ? counters.PrivateUsage : privateMax;
        workingSetMax = counters.WorkingSetSize > workingSetMax ? counters.WorkingSetSize : workingSetMax;
        peakWorkingSet = counters.PeakWorkingSetSize > peakWorkingSet ? counters.PeakWorkingSetSize
                                                                       : peakWorkingSet;
        pagefileMax = counters.PagefileUsage > pagefileMax ? counters.PagefileUsage : pagefileMax;
        peakPagefile = counters.PeakPagefileUsage > peakPagefile ? counters.PeakPagefileUsage : peakPagefile;
    }
};

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end, const LARGE_INTEGER& frequency) {
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Fail(const char* what, DWORD code, int exitCode) {
    std::printf("{\"error\":\"%s\",\"code\":%lu}\n", what, static_cast<unsigned long>(code));
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return Fail("usage: bench_run [--poll ms] [--timeout ms] [--env N=V]... -- \\\"command line\\\"",
                    0, kExitUsage);
    }
    for (const std::wstring& assignment : options.environment) {
        size_t equals = assignment.find(L'=');
        SetEnvironmentVariableW(assignment.substr(0, equals).c_str(), assignment.c_str() + equals + 1);
    }

    std::vector<wchar_t> line(options.commandLine.begin(), options.commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                        options.poll ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &child)) {
        return Fail("CreateProcessW failed", GetLastError(), kExitNotStarted);
    }

    Memory memory;
    DWORD waited = WAIT_TIMEOUT;
    if (options.poll) {
        memory.Sample(child.hProcess);
        ResumeThread(child.hThread);
        ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
        while ((waited = WaitForSingleObject(child.hProcess, options.pollMs)) == WAIT_TIMEOUT &&
               GetTickCount64() < deadline) {
            memory.Sample(child.hProcess);
        }
    } else {
        waited = WaitForSingleObject(child.hProcess, options.timeoutMs);
    }
    QueryPerformanceCounter(&end);
    double seconds = Seconds(start, end, frequency);

    int result = kExitEnded;
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, 1);
        WaitForSingleObject(child.hProcess, 10000);
        std::printf("{\"timeout\":true,\"seconds\":%.6f}\n", seconds);
        result = kExitTimedOut;
    } else {
        DWORD exitCode = 0;
        GetExitCodeProcess(child.hProcess, &exitCode);
        std::printf("{\"exit\":%lu,\"seconds\":%.6f", static_cast<unsigned long>(exitCode), seconds);
        if (options.poll) {
            std::printf(",\"samples\":%u,\"private_max\":%llu,\"working_set_max\":%llu,"
                        "\"peak_working_set\":%llu,\"pagefile_max\":%llu,\"peak_pagefile\":%llu",
                        memory.samples, static_cast<unsigned long long>(memory.privateMax),
                        static_cast<unsigned long long>(memory.workingSetMax),
                        static_cast<unsigned long long>(memory.peakWorkingSet),
                        static_cast<unsigned long long>(memory.pagefileMax),
                        static_cast<unsigned long long>(memory.peakPagefile));
        }
        std::printf("}\n");
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return result;
}
