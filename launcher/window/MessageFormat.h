// Formats a string-table text that carries one whole number (a percentage,
// an error code). The text comes from configuration, so it is never handed
// to printf as a format: only integer conversions take the number.
#pragma once

#include <string>

// %d, %i and %u (with the flags "-+ 0#" and a width) show the value, %%
// shows a percent sign; any other '%' sequence is copied as written. The
// result is cut at `limit` characters.
std::wstring FormatWithInt(const std::wstring& format, int value, size_t limit);
