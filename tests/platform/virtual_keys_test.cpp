#include "platform/virtual_keys.h"

#include <gtest/gtest.h>

namespace quen::platform {
namespace {

// SDL key codes are the character for printable keys and the scan code with bit 30 set for
// the others.
constexpr int32_t Scan(int32_t scancode) {
  return scancode | (1 << 30);
}

TEST(VirtualKeys, MapsTheKeysScriptsName) {
  EXPECT_EQ(VirtualKeyFromSdlKeycode('a'), 0x41);
  EXPECT_EQ(VirtualKeyFromSdlKeycode('z'), 0x5A);
  EXPECT_EQ(VirtualKeyFromSdlKeycode('0'), 0x30);
  EXPECT_EQ(VirtualKeyFromSdlKeycode('9'), 0x39);
  EXPECT_EQ(VirtualKeyFromSdlKeycode('\r'), 0x0D);
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(88)), 0x0D);  // keypad Enter
  EXPECT_EQ(VirtualKeyFromSdlKeycode(27), 0x1B);
  EXPECT_EQ(VirtualKeyFromSdlKeycode(' '), 0x20);
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(58)), 0x70);   // F1
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(69)), 0x7B);   // F12
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(104)), 0x7C);  // F13
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(115)), 0x87);  // F24
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(80)), 0x25);   // left
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(82)), 0x26);   // up
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(79)), 0x27);   // right
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(81)), 0x28);   // down
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(225)), 0x10);  // left shift
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(228)), 0x11);  // right ctrl
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(98)), 0x60);   // keypad 0
  EXPECT_EQ(VirtualKeyFromSdlKeycode(';'), 0xBA);
  EXPECT_EQ(VirtualKeyFromSdlKeycode('\\'), 0xDC);
}

TEST(VirtualKeys, UnknownKeysGiveZero) {
  EXPECT_EQ(VirtualKeyFromSdlKeycode(0), 0);
  EXPECT_EQ(VirtualKeyFromSdlKeycode(Scan(290)), 0);  // a media key
  EXPECT_EQ(VirtualKeyFromSdlKeycode('A'), 0);        // SDL never reports upper case
  EXPECT_EQ(VirtualKeyFromSdlKeycode(-5), 0);
}

}  // namespace
}  // namespace quen::platform
