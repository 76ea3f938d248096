// The test card, drawn now, against the reviewed golden picture.
#include <gtest/gtest.h>
#include <png.h>

#include <iterator>
#include <vector>

#include "authoring/test_card.h"
#include "imaging/color_tables.h"
#include "imaging/dibx.h"
#include "imaging/png_writer.h"
#include "imaging/row_ops.h"
#include "platform/host_fs.h"

namespace quen {
namespace {

std::vector<uint8_t> DecodeRgb(const std::string& png, uint32_t& w, uint32_t& h) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  w = image.width;
  h = image.height;
  return rgb;
}

TEST(TestCard, MatchesTheReviewedGoldenPicture) {
  std::string golden;
  ASSERT_TRUE(
      platform::ReadWholeFile(QP_SOURCE_DIR "/tests/imaging/golden/testcard32.png", golden));
  uint32_t gw = 0, gh = 0;
  const std::vector<uint8_t> want = DecodeRgb(golden, gw, gh);
  ASSERT_EQ(gw, static_cast<uint32_t>(kTestCardWidth));
  ASSERT_EQ(gh, static_cast<uint32_t>(kTestCardHeight));
  for (bool plain : {false, true}) {
    SetForceScalar(plain);
    QuenInitColor(32);
    TDIBX card;
    DrawTestCard(card, 32);
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> got = DecodeRgb(EncodePng(card), w, h);
    EXPECT_TRUE(got == want) << (plain ? "plain" : "packed");
  }
  SetForceScalar(false);
}

TEST(TestCard, DrawsAtEveryDepthWithBothPathsAlike) {
  for (int32_t bits : {15, 16, 24}) {
    QuenInitColor(bits == 24 ? 32 : bits);
    TDIBX a, b;
    SetForceScalar(true);
    DrawTestCard(a, bits);
    SetForceScalar(false);
    DrawTestCard(b, bits);
    EXPECT_EQ(EncodePng(a), EncodePng(b)) << bits;
    EXPECT_EQ(a.BitCount(), bits);
  }
}

}  // namespace
}  // namespace quen
