// The "/i" report: the three embedded packages and the operating system in one box.
#pragma once

#include <string>

// The body of one package's section of the report.
std::wstring BuildPackageReport(const std::wstring& resourceName);

// Shows the report box (caption "Info"), whatever "/q" says, and returns when it is closed.
void ShowPackageInfo();
