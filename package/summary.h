// Reading the summary information of a patch package file: the products it targets (property
// 7), its upgrade and target versions (property 5) and its variant (property 18).
// Each reader opens the summary, reads one property and closes it again; nothing is cached.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

// The last-error value a reader leaves when a property is present but unusable.
constexpr DWORD kUnusableSummaryValue = 4316;

constexpr UINT kPropertyTargetProducts = 7;
constexpr UINT kPropertyVersionKeywords = 5;
constexpr UINT kPropertyVariant = 18;

// Opens the summary information of the package at `path` (made absolute against the current
// directory, within 259 characters) read-only. Returns the handle, or 0 with the reason as the
// last-error value; the caller closes the handle.
MSIHANDLE OpenPatchSummary(const std::wstring& path);

// A reader that cannot open the package or read a property returns false with the Windows
// Installer result as the last-error value.

// Property 7, the target product list, possibly empty. On false `productList` is unchanged.
bool ReadTargetProductList(const std::wstring& path, std::wstring& productList);

// Property 5 split at its first ';'. False, with the last-error value 4316, when it has no ';'
// or begins with one; false as well when it cannot be read. On false both outputs are unchanged.
bool ReadVersionKeywords(const std::wstring& path, std::wstring& upgradeVersion,
                         std::wstring& targetVersions);

// Property 18. True only for a non-empty value; on false `variant` is unchanged.
bool ReadPackageVariant(const std::wstring& path, std::wstring& variant);
