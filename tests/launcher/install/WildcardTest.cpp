#include <gtest/gtest.h>

#include "Wildcard.h"

struct WildcardCase {
  const wchar_t* text;
  const wchar_t* pattern;
  bool match;
};

TEST(MatchWildcard, PatternsAsShipped) {
  const WildcardCase cases[] = {
      {L"data_3.pak", L"data_*.pak", true},
      {L"DATA_12.PAK", L"data_*.pak", true},
      {L"data.pak", L"data_*.pak", false},
      {L"data.pak", L"data.pak", true},
      {L"gameupdater.log", L"*.log", true},
      {L"sub\\deep\\x.log", L"*.log", true},
      {L"x.log.old", L"*.log", false},
      {L"user_data\\x.dat", L"user_data/*.dat", true},
      {L"user_data\\sub\\x.dat", L"user_data/*.dat", true},
      {L"user_data/x.dat", L"user_data\\*.dat", true},
      {L"other\\user_data\\x.dat", L"user_data/*.dat", false},
      {L"removed_files\\a.b", L"removed_files/*.*", true},
      {L"removed_files\\ab", L"removed_files/*.*", false},
      {L"sub\\velmor.exe", L"velmor.exe", false},
      {L"velmor.exe", L"velmor.exe", true},
      {L"Game.DLL", L"game.dll", true},
  };
  for (const WildcardCase& c : cases)
    EXPECT_EQ(c.match, MatchWildcard(c.text, c.pattern))
        << testing::PrintToString(std::wstring(c.text)) << " "
        << testing::PrintToString(std::wstring(c.pattern));
}

TEST(MatchWildcard, StarsQuestionMarksAndBacktracking) {
  const WildcardCase cases[] = {
      {L"", L"", true},
      {L"", L"*", true},
      {L"", L"**", true},
      {L"", L"?", false},
      {L"a", L"", false},
      {L"abc", L"a**c", true},
      {L"abc", L"a?c", true},
      {L"a.c", L"a?c", false},
      {L"abc", L"*", true},
      {L"aXbXc", L"*X*c", true},
      {L"abab", L"*ab", true},
      {L"aab", L"*ab", true},
      {L"abc", L"*d", false},
      {L"ab", L"ab*", true},
      {L"ab", L"ab?", false},
      {L"x\\y", L"x/y", true},
      {L"\u00e9t\u00e9", L"\u00c9T\u00c9", false},
      {L"\u00e9t\u00e9", L"\u00e9T\u00e9", true},
      {L"\u0416", L"\u0436", false},
      {L"[", L"{", false},
  };
  for (const WildcardCase& c : cases)
    EXPECT_EQ(c.match, MatchWildcard(c.text, c.pattern))
        << testing::PrintToString(std::wstring(c.text)) << " "
        << testing::PrintToString(std::wstring(c.pattern));
  EXPECT_FALSE(MatchWildcard(nullptr, L"*"));
}
