#include <gtest/gtest.h>

#include "support/TextUtils.h"

using namespace brix32;

TEST(Between, Cases) {
  struct Case {
    const char *text, *start, *end, *expected;
  } cases[] = {
      {"a<b>c</b>d", "<b>", "</b>", "c"},
      {"x G=12 y", " G=", " ", "12"},
      {"x G=12 y", "<q>", " ", ""},
      {"whole text", "", "", "whole text"},
      {"<a>1</a><a>2</a>", "<a>", "</a>", "1"},
      {"<a>open to the end", "<a>", "</a>", "open to the end"},
      {"<a>no end", "<a>", "", "no end"},
      {"end</a>before<a>x", "<a>", "</a>", "x"},  // the end marker is searched after the start
      {"", "<a>", "</a>", ""},
      {"<a></a>", "<a>", "</a>", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Between(c.text, c.start, c.end), c.expected) << c.text << " / " << c.start;
}

TEST(CommaToFullStop, Cases) {
  struct Case {
    const char *text, *expected;
  } cases[] = {
      {",", ""},
      {",,", ""},
      {",a", "a"},
      {"a,", "a."},
      {",a,", "a."},
      {"a,,b,,,", "a,b."},
      {"  x, ", "x."},
      {"", ""},
      {" \t\r\n", ""},
      {"a, b ,c", "a, b ,c"},
      {"a", "a"},
      {",,,a,,", "a."},
      {"EAS,MTB,", "EAS,MTB."},
  };
  for (const auto& c : cases) EXPECT_EQ(CommaToFullStop(c.text), c.expected) << '"' << c.text << '"';
}

TEST(StrToBoolean, FirstCharacterOnly) {
  for (const char* t : {"true", "Yes", "enabled", "Tuesday", "e", "T", "y"}) EXPECT_TRUE(StrToBoolean(t)) << t;
  for (const char* t : {"", "False", "0", "1", " True", "no"}) EXPECT_FALSE(StrToBoolean(t)) << t;
}

TEST(BooleanTexts, ChooseByFlag) {
  EXPECT_EQ(BooleanTStr(true, "True", "False"), "True");
  EXPECT_EQ(BooleanTStr(false, "True", "False"), "False");
  EXPECT_EQ(BooleanToInt(true, 7, -1), 7);
  EXPECT_EQ(BooleanToInt(false, 7, -1), -1);
}

TEST(ExtractFileName, Cases) {
  struct Case {
    const char *text, *expected;
  } cases[] = {
      {"a/b\\c", "c"},
      {"a\\b/c", "c"},
      {"C:name", "C:name"},
      {"dir/", ""},
      {"C:\\X\\corvansrvc.exe", "corvansrvc.exe"},
      {"plain", "plain"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractFileName(c.text), c.expected) << c.text;
}

TEST(UpperCase, OnlyAsciiLetters) { EXPECT_EQ(UpperCase("corvansrvc.exe \xe9z"), "CORVANSRVC.EXE \xe9Z"); }
