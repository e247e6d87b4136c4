// Conversions between UTF-8, UTF-16 and the ANSI code page through the
// platform's code-page conversion. Invalid input converts with the
// platform's replacement; an empty input gives an empty result.
#pragma once

#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
// UTF-8 to the ANSI code page and back, through UTF-16.
std::string Utf8ToAnsi(const std::string& text);
std::string AnsiToUtf8(const std::string& text);
