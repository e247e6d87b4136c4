// Moving text between 8-bit code pages and UTF-16 through the platform's
// code-page conversion: CP_UTF8 for the configuration and string table,
// CP_ACP for paths, registry and log text.
#pragma once

#include <windows.h>

#include <string>

// text (NUL-terminated, in codePage) as UTF-16 in out, which is emptied
// first. False for a null text or a failed conversion; an empty text gives
// true and an empty result.
bool ToWideString(const char* text, UINT codePage, std::wstring* out);
bool ToWideString(const std::string& text, UINT codePage, std::wstring* out);

// UTF-16 text in the ANSI code page.
bool ToAnsiString(const wchar_t* text, std::string* out);
bool ToAnsiString(const std::wstring& text, std::string* out);

// The shorter conveniences (Utf8ToWide, AnsiToWide, WideToAnsi, ...) that
// give an empty text on failure are the hosts' shared ones.
#include "TextConversion.h"
