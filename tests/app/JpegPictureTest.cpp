#include <gtest/gtest.h>

#include "Hostile.h"
#include "JpegFixture.h"
#include "PeakMemory.h"
#include "app/JpegPicture.h"

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
  // A baseline header claiming 60000 x 60000 pixels.
  const std::string huge = apptest::WithDeclaredSize(apptest::SolidJpeg(8, 8, 1, 2, 3), 60000, 60000);
  const std::string cases[] = {
      whole.substr(0, whole.size() / 2),  // the service is still writing
      whole.substr(0, whole.size() - 2),  // everything but the end marker
      corrupt,
      huge,
      "not a picture",
      "",
  };
  for (const auto& bytes : cases) EXPECT_FALSE(DecodeJpeg(bytes).has_value()) << bytes.size();
}

TEST(DecodeJpeg, ProgressivePicturesDecodeWithinTheLimits) {
  // The largest picture accepted, progressive, where libjpeg needs the most memory.
  const corvantest::PeakMemoryGrowth memory;
  const auto picture = DecodeJpeg(apptest::SolidJpeg(1024, 512, 10, 200, 30, true));
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->size(), QSize(1024, 512));
  EXPECT_NEAR(picture->pixelColor(1000, 500).green(), 200, 4);
  if (corvantest::PeakMemoryGrowth::Meaningful()) {
    EXPECT_LT(memory.Bytes(), 12u << 20);
  }
}

TEST(DecodeJpeg, APictureDeclaringAHugeSizeCostsNoMemory) {
  // A few hundred bytes each, all but the frame header from a 16 x 16 picture: libjpeg
  // would set aside the declared picture's memory before reading a single scan.
  const std::string progressive = apptest::SolidJpeg(16, 16, 200, 0, 0, true);
  const std::string baseline = apptest::SolidJpeg(16, 16, 200, 0, 0);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"progressive 14000 x 14000", apptest::WithDeclaredSize(progressive, 14000, 14000)},
      {"progressive 65500 x 65500", apptest::WithDeclaredSize(progressive, 65500, 65500)},
      {"progressive 65500 x 16", apptest::WithDeclaredSize(progressive, 65500, 16)},
      {"progressive one row over the limit", apptest::WithDeclaredSize(progressive, 1024, 513)},
      {"baseline 65500 x 65500", apptest::WithDeclaredSize(baseline, 65500, 65500)},
  };
  const corvantest::AddressSpaceBound bound;  // a regression fails instead of taking the machine
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_LT(c.bytes.size(), 1000u);
    const corvantest::PeakMemoryGrowth memory;
    EXPECT_FALSE(DecodeJpeg(c.bytes).has_value());
    if (corvantest::PeakMemoryGrowth::Meaningful()) {
      EXPECT_LT(memory.Bytes(), 4u << 20);
    }
  }
}

TEST(DecodeJpeg, APictureOfTooManyScansGivesNothing) {
  // Valid, but each of its 190 scans is another pass over the picture.
  EXPECT_FALSE(DecodeJpeg(apptest::ManyScansJpeg(64, 64)).has_value());
  EXPECT_TRUE(DecodeJpeg(apptest::SolidJpeg(64, 64, 1, 2, 3, true)).has_value());
}
