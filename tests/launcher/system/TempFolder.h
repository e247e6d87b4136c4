// A fresh folder below the temporary folder, removed with its contents at
// the end of the test.
#pragma once

#include <string>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& Path() const { return path_; }  // ends in '\'
  std::string AnsiPath() const;

 private:
  std::wstring path_;
};

bool FileExists(const std::wstring& path);
std::string ReadWholeFile(const std::wstring& path);
