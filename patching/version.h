// Four-part version values, compared only for equality.
#pragma once

#include <cstdint>
#include <string>

struct FourPartVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
};

// The decimal conversion of one number: leading white space, an optional sign, then ASCII
// digits up to the first other character; no digits give 0; values beyond the signed 32-bit
// range give the nearer limit.
int32_t ParseDecimal(const std::wstring& text);

// Parses "major.minor.build.revision" (',' counts as '.'). A component is taken only when a '.'
// follows it, except the revision, which takes what is left; each keeps the low 16 bits of its
// conversion. Text without a '.' gives 0.0.0.0. Never fails.
FourPartVersion ParseVersion(const std::wstring& text);

bool VersionsEqual(const FourPartVersion& a, const FourPartVersion& b);

// "major.minor.build.revision" in unsigned decimal.
std::wstring FormatVersion(const FourPartVersion& version);
