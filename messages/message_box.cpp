#include "messages/message_box.h"

#include <cstdint>

#include "launcher/process_state.h"
#include "messages/string_ids.h"

MessageBoxFunction ShowMessageBox = MessageBoxW;

namespace {

struct MessageHandling {
    UINT id;
    enum Insert { kNothing, kLastError, kProductName } insert;
    UINT captionId;
    UINT style;
};

constexpr MessageHandling kHandling[] = {
    {IDS_UPDATE_FAILED, MessageHandling::kLastError, IDS_CAPTION_ERROR, kStopStyle},
    {IDS_UPDATE_SUCCEEDED, MessageHandling::kProductName, IDS_CAPTION_SUCCESS, kInformationStyle},
    {IDS_ALREADY_CURRENT, MessageHandling::kProductName, IDS_CAPTION_UNNECESSARY, kStopStyle},
    {IDS_PRODUCT_NOT_FOUND, MessageHandling::kNothing, IDS_CAPTION_ERROR, kStopStyle},
    {IDS_VERSION_MISMATCH, MessageHandling::kProductName, IDS_CAPTION_ERROR, kStopStyle},
    {IDS_BAD_COMMAND_LINE, MessageHandling::kNothing, IDS_CAPTION_ERROR, kStopStyle},
    {IDS_NO_PATCH_LIST, MessageHandling::kNothing, IDS_CAPTION_ERROR, kStopStyle},
    {IDS_INSTALL_BLOCKED, MessageHandling::kNothing, IDS_CAPTION_ERROR, kStopStyle},
};

const MessageHandling* FindHandling(UINT id) {
    for (const MessageHandling& handling : kHandling) {
        if (handling.id == id) {
            return &handling;
        }
    }
    return nullptr;
}

constexpr UINT kStringsPerBlock = 16;

HRSRC FindStringBlock(HMODULE module, UINT id, LANGID language) {
    return FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1), language);
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    auto* wanted = reinterpret_cast<LANGID*>(context);
    if (PRIMARYLANGID(language) == PRIMARYLANGID(*wanted)) {
        *wanted = language;
        return FALSE;
    }
    return TRUE;
}

// Hong Kong, Macao and the neutral traditional form write Chinese as Taiwan does; Singapore and
// the neutral simplified form as the PRC does. The primary language alone cannot tell them apart.
LANGID ChineseScriptLanguage(LANGID language) {
    switch (SUBLANGID(language)) {
        case SUBLANG_CHINESE_TRADITIONAL:
        case SUBLANG_CHINESE_HONGKONG:
        case SUBLANG_CHINESE_MACAU:
        case 0x1f:  // zh-Hant
            return MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
        default:
            return MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    }
}

// Reads entry `id` of a string-table block: sixteen strings, each a count of UTF-16 units
// followed by that many units, without terminators.
std::wstring ReadBlockString(HMODULE module, HRSRC block, UINT id, int limit) {
    HGLOBAL loaded = LoadResource(module, block);
    const auto* units = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (units == nullptr) {
        return {};
    }
    const DWORD size = SizeofResource(module, block) / sizeof(WCHAR);
    DWORD position = 0;
    for (UINT index = 0; index < id % kStringsPerBlock; ++index) {
        if (position >= size) {
            return {};
        }
        position += 1 + units[position];
    }
    if (position >= size) {
        return {};
    }
    DWORD length = units[position];
    if (length > size - position - 1) {
        length = size - position - 1;
    }
    if (length > static_cast<DWORD>(limit - 1)) {
        length = static_cast<DWORD>(limit - 1);
    }
    return std::wstring(units + position + 1, length);
}

}  // namespace

LANGID ChooseTableLanguage(HMODULE module, UINT id, LANGID language) {
    if (FindStringBlock(module, id, language) != nullptr) {
        return language;
    }
    if (PRIMARYLANGID(language) == LANG_NEUTRAL) {
        return 0;
    }
    if (PRIMARYLANGID(language) == LANG_CHINESE) {
        LANGID script = ChineseScriptLanguage(language);
        return FindStringBlock(module, id, script) != nullptr ? script : 0;
    }
    LANGID related = language;
    EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1),
                           CollectLanguage, reinterpret_cast<LONG_PTR>(&related));
    return related != language ? related : 0;
}

std::wstring LoadText(HMODULE module, UINT id, int limit) {
    if (limit <= 0) {
        return {};
    }
    // The resource loader of current Windows ignores the thread locale, so the language that the
    // launcher set for a product is honoured here, the same way on every version.
    LANGID language = ChooseTableLanguage(module, id, LANGIDFROMLCID(GetThreadLocale()));
    if (language != 0) {
        HRSRC block = FindStringBlock(module, id, language);
        if (block != nullptr) {
            std::wstring text = ReadBlockString(module, block, id, limit);
            // The text runs to its first null, as LoadStringW's copy would.
            text.resize(wcsnlen(text.c_str(), text.size()));
            return text;
        }
    }
    std::wstring buffer(static_cast<size_t>(limit), L'\0');
    int length = LoadStringW(module, id, &buffer[0], limit);
    buffer.resize(length > 0 ? wcsnlen(buffer.c_str(), static_cast<size_t>(length)) : 0);
    return buffer;
}

std::wstring FormatMessageText(const std::wstring& text, const std::wstring& insert) {
    std::wstring result;
    result.reserve(text.size() + insert.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size()) {
            wchar_t next = text[i + 1];
            if (next == L'd' || next == L's') {
                result += insert;
                ++i;
                continue;
            }
            if (next == L'%') {
                result += L'%';
                ++i;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

void ShowMessage(UINT id) {
    if (Options.quiet) {
        return;
    }
    const DWORD lastError = GetLastError();

    const MessageHandling* handling = FindHandling(id);
    std::wstring insert;
    if (handling != nullptr && handling->insert == MessageHandling::kLastError) {
        insert = std::to_wstring(static_cast<int32_t>(lastError));
    } else if (handling != nullptr && handling->insert == MessageHandling::kProductName) {
        insert = CurrentProductName;
    }
    std::wstring text = FormatMessageText(LoadText(ModuleHandle, id, kTextLimit), insert);
    std::wstring caption =
        handling != nullptr ? LoadText(ModuleHandle, handling->captionId, kTextLimit) : L"Error";
    UINT style = handling != nullptr ? handling->style : kPlainStyle;
    ShowMessageBox(nullptr, text.c_str(), caption.c_str(), style);
}
