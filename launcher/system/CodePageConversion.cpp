#include "CodePageConversion.h"

#include <new>
#include <vector>

bool ToWideString(const char* text, UINT codePage, std::wstring* out) {
  if (!out) return false;
  out->clear();
  if (!text) return false;
  // The whole text with its terminating zero, so the length counts it.
  int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (length <= 0) return false;
  std::vector<wchar_t> buffer;
  try {
    buffer.resize(size_t(length) + 1);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (MultiByteToWideChar(codePage, 0, text, -1, buffer.data(), length) <= 0) return false;
  buffer[size_t(length)] = 0;
  out->assign(buffer.data());
  return true;
}

bool ToWideString(const std::string& text, UINT codePage, std::wstring* out) {
  return ToWideString(text.c_str(), codePage, out);
}

bool ToAnsiString(const wchar_t* text, std::string* out) {
  if (!out) return false;
  out->clear();
  if (!text) return false;
  int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  std::vector<char> buffer;
  try {
    buffer.resize(size_t(length) + 1);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), length, nullptr, nullptr) <= 0)
    return false;
  buffer[size_t(length)] = 0;
  out->assign(buffer.data());
  return true;
}

bool ToAnsiString(const std::wstring& text, std::string* out) {
  return ToAnsiString(text.c_str(), out);
}
