// Questions about one installed product, asked of Windows Installer.
#pragma once

#include <string>

constexpr unsigned long kProductInfoCapacity = 1024;     // characters, null included
constexpr unsigned long kProductVariantCapacity = 256;  // characters, null included

// True when the product is installed (state 5) or advertised (state 1).
bool IsProductPresent(const std::wstring& code);

// The product's "VersionString"; empty text when Windows Installer gives none (an error, or a
// value of 1024 characters or more).
std::wstring QueryInstalledVersion(const std::wstring& code);

// The product's "ProductName" and "Language", each empty text when Windows Installer gives none.
// Always succeeds.
bool QueryNameAndLanguage(const std::wstring& code, std::wstring& name, std::wstring& language);

// The product's "PluLicenseNumber", read with the interface level set to none and restored
// afterwards. False, with `variant` unchanged, unless the product is installed (state 5 exactly),
// can be opened, and the value fits 255 characters.
bool QueryProductVariant(const std::wstring& code, std::wstring& variant);
