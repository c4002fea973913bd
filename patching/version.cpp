#include "patching/version.h"

#include <cwctype>
#include <limits>

int32_t ParseDecimal(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Accumulated as a magnitude that stops growing once it passes the 32-bit range.
    constexpr int64_t kBeyondRange = int64_t{1} << 32;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (magnitude < kBeyondRange) {
            magnitude = magnitude * 10 + (text[i] - L'0');
        }
    }
    int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

namespace {

uint16_t ParseComponent(const std::wstring& text) {
    return static_cast<uint16_t>(static_cast<uint32_t>(ParseDecimal(text)) & 0xffffu);
}

}  // namespace

FourPartVersion ParseVersion(const std::wstring& text) {
    std::wstring rest = text;
    for (wchar_t& c : rest) {
        if (c == L',') {
            c = L'.';
        }
    }
    FourPartVersion version;
    uint16_t* leading[] = {&version.major, &version.minor, &version.build};
    for (uint16_t* component : leading) {
        size_t dot = rest.find(L'.');
        if (dot == std::wstring::npos) {
            return version;
        }
        *component = ParseComponent(rest.substr(0, dot));
        rest.erase(0, dot + 1);
    }
    version.revision = ParseComponent(rest);
    return version;
}

bool VersionsEqual(const FourPartVersion& a, const FourPartVersion& b) {
    return a.major == b.major && a.minor == b.minor && a.build == b.build && a.revision == b.revision;
}

std::wstring FormatVersion(const FourPartVersion& version) {
    return std::to_wstring(version.major) + L'.' + std::to_wstring(version.minor) + L'.' +
           std::to_wstring(version.build) + L'.' + std::to_wstring(version.revision);
}
