#include <gtest/gtest.h>

#include <optional>

#include "support/NumberText.h"

using brix32::ReadDecimal;
using brix32::ReadDecimalFraction;
using brix32::tBlanks;

TEST(ReadDecimal, SignDigitsAndRange) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"0", 0},
      {"007", 7},
      {"+15167", 15167},
      {"-1", -1},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"+-5", std::nullopt},
      {"-+5", std::nullopt},
      {"--5", std::nullopt},
      {"5-", std::nullopt},
      {"1.0", std::nullopt},
      {"1e3", std::nullopt},
      {"0x10", std::nullopt},
      {"12a", std::nullopt},
      {"\xd9\xa3", std::nullopt},  // a digit of another script
  };
  for (const auto& c : cases) EXPECT_EQ(ReadDecimal(c.text), c.value) << c.text;
}

// Each format allows its own blanks around a number, never inside it.
TEST(ReadDecimal, BlanksEachFormatAllows) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> none, leadingSpaces, spacesAround, anyAround;
  } cases[] = {
      {" 7", std::nullopt, 7, 7, 7},
      {"7 ", std::nullopt, std::nullopt, 7, 7},
      {"  -7  ", std::nullopt, std::nullopt, -7, -7},
      {"\t7\r\n", std::nullopt, std::nullopt, std::nullopt, 7},
      {"\x01"
       "7\x1f",
       std::nullopt, std::nullopt, std::nullopt, 7},
      {"- 7", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"+ 7", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"7 7", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"   ", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"\xa0"
       "7",
       std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadDecimal(c.text, tBlanks::None), c.none) << c.text;
    EXPECT_EQ(ReadDecimal(c.text, tBlanks::LeadingSpaces), c.leadingSpaces) << c.text;
    EXPECT_EQ(ReadDecimal(c.text, tBlanks::SpacesAround), c.spacesAround) << c.text;
    EXPECT_EQ(ReadDecimal(c.text, tBlanks::AnyAround), c.anyAround) << c.text;
  }
}

TEST(ReadDecimalFraction, PlainDecimalNotationOnly) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"-34.9", -34.9},
      {"+138.5", 138.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e3", 1000.0},
      {"-2.5E-1", -0.25},
      {" 12.25 ", 12.25},
      {"", std::nullopt},
      {".", std::nullopt},
      {"-", std::nullopt},
      {"+-1.5", std::nullopt},
      {"1,5", std::nullopt},
      {"1e", std::nullopt},
      {"1e+", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"1e999", std::nullopt},
      {"0x1p3", std::nullopt},
      {"1.5\t", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadDecimalFraction(c.text, tBlanks::SpacesAround), c.value) << c.text;
  EXPECT_EQ(ReadDecimalFraction("\t-34.9\r", tBlanks::AnyAround), -34.9);
  EXPECT_EQ(ReadDecimalFraction(" 1.5", tBlanks::None), std::nullopt);
}
