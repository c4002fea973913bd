// The string loader and the message routine: every word the apply flow says to the user.
#pragma once

#include <windows.h>

#include <string>

// Loads string `id` from the string table of `module`, cut to at most limit - 1 characters
// (limit counts the terminating null). Empty when the entry is empty or missing.
// The table's language follows the thread locale: the exact language when the table has it,
// else the table's language of the same primary language (Chinese by script), else the
// platform's own choice.
std::wstring LoadText(HMODULE module, UINT id, int limit);

// The string-table language LoadText reads for `language`, or 0 when the table holds no block of
// `id` in that language or a related one. Exposed for tests.
LANGID ChooseTableLanguage(HMODULE module, UINT id, LANGID language);

// Formats a catalogue text: its one "%d" or "%s" gets `insert`, "%%" gives "%", and any other
// '%' is kept as it stands. No length limit, so no insert is ever cut or written past a buffer.
std::wstring FormatMessageText(const std::wstring& text, const std::wstring& insert);

// Shows message `id` in a modal box with its caption and style, inserting the thread's
// last-error value (300) or CurrentProductName (301, 306, 308). Does nothing under "/q".
// The last-error value is read before anything else.
void ShowMessage(UINT id);

// The box routine behind ShowMessage and the report; MessageBoxW unless a test replaces it.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
extern MessageBoxFunction ShowMessageBox;

// Styles of the boxes (MB_SETFOREGROUND | MB_TOPMOST with an icon).
constexpr UINT kStopStyle = MB_OK | MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST;             // 0x50010
constexpr UINT kInformationStyle = MB_OK | MB_ICONASTERISK | MB_SETFOREGROUND | MB_TOPMOST;  // 0x50040
constexpr UINT kPlainStyle = MB_OK | MB_SETFOREGROUND | MB_TOPMOST;                          // 0x50000
constexpr int kTextLimit = 256;  // characters, null included
