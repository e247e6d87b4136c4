#pragma once

// The uninstaller's file patterns over UTF-16 names: '*' matches any run
// (separators included), '?' any one character but '.'; ASCII letters match
// without regard to case and '/' matches '\'.
bool MatchWildcard(const wchar_t* text, const wchar_t* pattern);
