#include <gtest/gtest.h>

#include "JpegFixture.h"
#include "JpegPicture.h"

using MainForm::DecodeJpeg;

TEST(DecodeJpeg, DecodesSizeAndColour) {
  const auto picture = DecodeJpeg(apptest::SolidJpeg(277, 9, 255, 128, 0));
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width(), 277);
  EXPECT_EQ(picture->height(), 9);
  const QColor c = picture->pixelColor(100, 4);
  EXPECT_NEAR(c.red(), 255, 4);
  EXPECT_NEAR(c.green(), 128, 4);
  EXPECT_NEAR(c.blue(), 0, 4);
}

TEST(DecodeJpeg, HalfWrittenCorruptOrHugePicturesGiveNothing) {
  const std::string whole = apptest::SolidJpeg(177, 85, 0, 0, 255);
  std::string corrupt = whole;
  for (std::size_t i = 20; i < 200 && i < corrupt.size(); ++i) corrupt[i] = '\x5a';
  // A baseline header claiming 60000 x 60000 pixels, with nothing after it.
  std::string huge = apptest::SolidJpeg(8, 8, 1, 2, 3);
  const std::size_t sof = huge.find("\xff\xc0");
  ASSERT_NE(sof, std::string::npos);
  huge[sof + 5] = '\xea';  // height 0xea60
  huge[sof + 6] = '\x60';
  huge[sof + 7] = '\xea';  // width 0xea60
  huge[sof + 8] = '\x60';
  const std::string cases[] = {
      whole.substr(0, whole.size() / 2),       // the service is still writing
      whole.substr(0, whole.size() - 2),       // everything but the end marker
      corrupt,
      huge,
      "not a picture",
      "",
  };
  for (const auto& bytes : cases) EXPECT_FALSE(DecodeJpeg(bytes).has_value()) << bytes.size();
}
