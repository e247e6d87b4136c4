#include "MessageFormat.h"

#include <cwchar>

namespace {

bool IsFlag(wchar_t c) { return c == L'-' || c == L'+' || c == L' ' || c == L'0' || c == L'#'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The conversion at format[start] ('%'), or false when it is not one that
// takes the number. *end is one past it.
bool FormatConversion(const std::wstring& format, size_t start, int value, std::wstring* out,
                      size_t* end) {
  size_t i = start + 1;
  while (i < format.size() && IsFlag(format[i])) ++i;
  size_t widthStart = i;
  while (i < format.size() && IsDigit(format[i]) && i - widthStart < 3) ++i;
  if (i >= format.size()) return false;
  wchar_t kind = format[i];
  if (kind != L'd' && kind != L'i' && kind != L'u') return false;
  std::wstring spec = format.substr(start, i - start) + kind;
  wchar_t buffer[160];
  int written = kind == L'u' ? swprintf(buffer, 160, spec.c_str(), static_cast<unsigned>(value))
                             : swprintf(buffer, 160, spec.c_str(), value);
  if (written < 0) return false;
  *out = std::wstring(buffer, static_cast<size_t>(written));
  *end = i + 1;
  return true;
}

}  // namespace

std::wstring FormatWithInt(const std::wstring& format, int value, size_t limit) {
  std::wstring result;
  size_t i = 0;
  while (i < format.size() && result.size() < limit) {
    if (format[i] != L'%') {
      result += format[i++];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == L'%') {
      result += L'%';
      i += 2;
      continue;
    }
    std::wstring converted;
    size_t end = 0;
    if (FormatConversion(format, i, value, &converted, &end)) {
      result += converted;
      i = end;
    } else {
      result += format[i++];
    }
  }
  if (result.size() > limit) result.resize(limit);
  return result;
}
