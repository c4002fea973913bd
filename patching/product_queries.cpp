#include "patching/product_queries.h"

#include "patching/msi_api.h"

namespace {

// A value the call did not write (an error, or one too long for the buffer) is never used.
std::wstring QueryProductInfo(const std::wstring& code, const wchar_t* attribute) {
    std::wstring buffer(kProductInfoCapacity, L'\0');
    DWORD count = kProductInfoCapacity;
    if (Msi.getProductInfo(code.c_str(), attribute, &buffer[0], &count) != ERROR_SUCCESS) {
        return {};
    }
    return buffer.substr(0, buffer.find(L'\0'));
}

// Sets an interface level for the lifetime of the object, and restores the previous one.
class ScopedInterfaceLevel {
public:
    explicit ScopedInterfaceLevel(INSTALLUILEVEL level) : previous_(Msi.setInternalUI(level, nullptr)) {}
    ScopedInterfaceLevel(const ScopedInterfaceLevel&) = delete;
    ScopedInterfaceLevel& operator=(const ScopedInterfaceLevel&) = delete;
    ~ScopedInterfaceLevel() { Msi.setInternalUI(previous_, nullptr); }

private:
    INSTALLUILEVEL previous_;
};

}  // namespace

bool IsProductPresent(const std::wstring& code) {
    INSTALLSTATE state = Msi.queryProductState(code.c_str());
    return state == INSTALLSTATE_DEFAULT || state == INSTALLSTATE_ADVERTISED;
}

std::wstring QueryInstalledVersion(const std::wstring& code) {
    return QueryProductInfo(code, L"VersionString");
}

bool QueryNameAndLanguage(const std::wstring& code, std::wstring& name, std::wstring& language) {
    name = QueryProductInfo(code, L"ProductName");
    language = QueryProductInfo(code, L"Language");
    return true;
}

bool QueryProductVariant(const std::wstring& code, std::wstring& variant) {
    ScopedInterfaceLevel quiet(INSTALLUILEVEL_NONE);
    if (Msi.queryProductState(code.c_str()) != INSTALLSTATE_DEFAULT) {
        return false;
    }
    MsiHandle product;
    if (Msi.openProduct(code.c_str(), product.Receive()) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring buffer(kProductVariantCapacity, L'\0');
    DWORD count = kProductVariantCapacity;
    if (Msi.getProductProperty(product.Get(), L"PluLicenseNumber", &buffer[0], &count) != ERROR_SUCCESS) {
        return false;
    }
    variant = buffer.substr(0, buffer.find(L'\0'));
    return true;
}
