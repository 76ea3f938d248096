// Reading MIDI files: event order, times, and what a damaged or hostile file ends as.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "base/stream.h"
#include "media/midi_v.h"
#include "support/smf_builder.h"

namespace quen {
namespace {

using test::FromHex;
using test::Smf;

std::string Hex(std::string_view b) {
  static const char k[] = "0123456789ABCDEF";
  std::string s;
  for (char c : b) s += {k[static_cast<uint8_t>(c) >> 4], k[static_cast<uint8_t>(c) & 15]};
  return s;
}

// "TIME:HEX" for every event, in list order.
std::vector<std::string> Timeline(const TMidiV& m) {
  std::vector<std::string> out;
  for (const auto& e : m.Events()) out.push_back(std::to_string(e.time) + ":" + Hex(m.Bytes(e)));
  return out;
}

struct TimesCase {
  const char* name;
  std::string file;
  std::vector<std::string> expected;
};

TEST(MidiFile, EventTimesAndOrder) {
  const std::vector<TimesCase> cases = {
      {"quarter note at 480 and a tempo change",
       Smf(480, {"00 903C40 8360 803C00 00 FF510303D090 8360 903C40 00 FF2F00"}),
       {"0:903C40", "500:803C00", "500:FF5103D090", "750:903C40", "750:FF2F"}},
      // f = 2.5 ms exactly: 2.5 rounds to 2, 7.5 to 8.
      {"halves to even",
       Smf(200, {"01 903C40 03 803C00 01 FF2F00"}),
       {"2:903C40", "10:803C00", "12:FF2F"}},
      // f = 166.66667175 as a single; the product is exact before rounding.
      {"single-precision factor",
       Smf(3, {"00 903C40 87A940 803C00 00 FF2F00"}),
       {"0:903C40", "20000001:803C00", "20000001:FF2F"}},
      // Two tracks at the same ticks: track order decides; track 2's deltas are its own.
      {"ties in track order",
       Smf(480, {"00 C001 8360 903C40 00 FF2F00", "00 C102 8360 913E40 00 FF2F00"}),
       {"0:C001", "0:C102", "500:903C40", "500:FF2F", "500:913E40", "500:FF2F"}},
      // 25 frames of 40 ticks: one tick is a millisecond, whatever the tempo says.
      {"frames per second",
       Smf(0xE728, {"00 FF510303D090 8768 903C40 00 FF2F00"}),
       {"0:FF5103D090", "1000:903C40", "1000:FF2F"}},
      // Running status carries over a meta event and a system-exclusive one.
      {"running status past meta and sysex",
       Smf(480, {"00 903C40 00 FF0100 00 3E40 00 F003010203 00 4040 00 FF2F00"}),
       {"0:903C40", "0:FF01", "0:903E40", "0:F0010203", "0:904040", "0:FF2F"}},
  };
  for (const auto& c : cases) {
    TMidiV m;
    m.LoadFromBytes(c.file);
    EXPECT_EQ(Timeline(m), c.expected) << c.name;
    EXPECT_EQ(m.Length(), m.Events().back().time) << c.name;
  }
}

// Tracks end where they can no longer be read; the other tracks and chunks are unharmed.
TEST(MidiFile, DamagedTracksEndAtTheDamage) {
  struct Case {
    const char* name;
    std::string track;  // the first of two tracks; the second always holds C105
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"a data byte with no status before it", "00 3C40 00 FF2F00", {"0:C105", "0:FF2F"}},
      {"a system common status", "00 903C40 00 F1 00 803C00", {"0:903C40", "0:C105", "0:FF2F"}},
      {"a meta count past the chunk", "00 903C40 00 FF0105", {"0:903C40", "0:C105", "0:FF2F"}},
      {"a sysex count past the chunk", "00 F0 8F7F 00", {"0:C105", "0:FF2F"}},
      {"a five-byte delta", "8080808000 903C40", {"0:C105", "0:FF2F"}},
      {"a note cut short", "00 903C", {"0:C105", "0:FF2F"}},
      {"no end of track", "00 903C40", {"0:903C40", "0:C105", "0:FF2F"}},
      {"bytes after the end of track", "00 FF2F00 00 903C40", {"0:FF2F", "0:C105", "0:FF2F"}},
  };
  for (const auto& c : cases) {
    TMidiV m;
    m.LoadFromBytes(Smf(480, {c.track, "00 C105 00 FF2F00"}));
    EXPECT_EQ(Timeline(m), c.expected) << c.name;
  }
}

TEST(MidiFile, ForeignChunksAndLongHeadersAreSkipped) {
  // Header of 8 bytes, a foreign chunk first, then the two announced tracks.
  std::string f = FromHex("4D546864 00000008 0001 0002 01E0 AAAA");
  f += "XFIH" + FromHex("00000003 010203");
  f += "MTrk" + FromHex("00000004 00C10300");  // the track ends at its chunk without FF 2F
  f += "MTrk" + FromHex("00000004 00FF2F00");
  TMidiV m;
  m.LoadFromBytes(f);
  EXPECT_EQ(Timeline(m), (std::vector<std::string>{"0:C103", "0:FF2F"}));
  EXPECT_EQ(m.Division(), 480);
}

TEST(MidiFile, RefusedFilesLeaveNothing) {
  const std::string big_delta = "FFFFFF7F 903C40";  // 2^28 - 1 ticks
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += big_delta;
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"no header", "RIFF....WAVEfmt "},
      {"a header cut short", "MThd\0\0\0\6\0\1"},
      {"division 0", Smf(0, {"00 FF2F00"})},
      {"an unknown frame rate", Smf(0xE528, {"00 FF2F00"})},
      {"ticks past 2^31", Smf(480, {nine})},
      // 16.7 s per quarter note at one tick per quarter: 2^28 ticks are far past 2^31 ms.
      {"time past 2^31 ms", Smf(1, {"00 FF5103FFFFFF " + big_delta})},
  };
  TMidiV m;
  for (const auto& [name, file] : cases) {
    m.LoadFromBytes(Smf(480, {"00 903C40 8360 FF2F00"}));
    ASSERT_EQ(m.Length(), 500);
    TKvMemoryStream s{std::string(file)};
    try {
      m.LoadFromStream(s);
      ADD_FAILURE() << name << " was read";
    } catch (const EQuenError& e) {
      EXPECT_NE(e.Message().find("("), std::string::npos) << name;
    }
    EXPECT_TRUE(m.Events().empty()) << name;
    EXPECT_EQ(m.Length(), 0) << name;
    EXPECT_EQ(TMidiV::MeasureLength(file), 0) << name;
  }
}

TEST(MidiFile, EventKinds) {
  EXPECT_TRUE(TMidiV::IsNoteOn(FromHex("903C01")));
  EXPECT_FALSE(TMidiV::IsNoteOn(FromHex("903C00")));
  EXPECT_TRUE(TMidiV::IsNoteOff(FromHex("903C00")));
  EXPECT_TRUE(TMidiV::IsNoteOff(FromHex("8F3C40")));
  EXPECT_TRUE(TMidiV::IsGsReset(FromHex("F04110421240007F0041F7")));
  EXPECT_FALSE(TMidiV::IsGsReset(FromHex("F04110421240007F0042F7")));
  EXPECT_EQ(TMidiV::TempoOf(FromHex("FF5107A120")), 500000);
  EXPECT_EQ(TMidiV::TempoOf(FromHex("FF5101")), -1);
}

}  // namespace
}  // namespace quen
