#include <gtest/gtest.h>

#include "base/error.h"
#include "base/stream.h"

namespace quen {
namespace {

TEST(StreamHelpers, WritesLittleEndianRecords) {
  TKvMemoryStream s;
  WriteInt32(s, -2);
  WriteInt64(s, 0x0102030405060708LL);
  WriteBool(s, true);
  WriteString(s, "ab");
  WriteString(s, "");
  WriteStringList(s, {"x", "\x83\x5C"});
  const std::string expected =
      std::string("\xFE\xFF\xFF\xFF", 4) + std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8) +
      std::string("\x01", 1) +
      std::string(
          "\x02\x00\x00\x00"
          "ab",
          6) +
      std::string("\x00\x00\x00\x00", 4) + std::string("\x02\x00\x00\x00", 4) +
      std::string(
          "\x01\x00\x00\x00"
          "x",
          5) +
      std::string("\x02\x00\x00\x00\x83\x5C", 6);
  EXPECT_EQ(s.Data(), expected);

  s.SetPosition(0);
  EXPECT_EQ(ReadInt32(s), -2);
  EXPECT_EQ(ReadInt64(s), 0x0102030405060708LL);
  EXPECT_TRUE(ReadBool(s));
  EXPECT_EQ(ReadString(s), "ab");
  EXPECT_EQ(ReadString(s), "");
  EXPECT_EQ(ReadStringList(s), (std::vector<std::string>{"x", "\x83\x5C"}));
  EXPECT_EQ(s.Remaining(), 0);
}

TEST(StreamHelpers, NegativeStringCountReadsAsEmpty) {
  TKvMemoryStream s(std::string("\xFF\xFF\xFF\xFFrest", 8));
  EXPECT_EQ(ReadString(s), "");
  EXPECT_EQ(s.GetPosition(), 4);
}

TEST(StreamHelpers, DamagedCountsRaiseTheReadErrorWithoutAllocating) {
  // A string claiming 2 GiB, a list claiming a billion strings, and a plain truncation.
  TKvMemoryStream huge(
      std::string("\xFF\xFF\xFF\x7F"
                  "abc",
                  7));
  EXPECT_THROW(ReadString(huge), EQuenError);
  TKvMemoryStream list(std::string("\x00\xCA\x9A\x3B\x00\x00\x00\x00", 8));
  EXPECT_THROW(ReadStringList(list), EQuenError);
  TKvMemoryStream shorty(std::string("\x01\x02\x03", 3));
  EXPECT_THROW(ReadInt32(shorty), EQuenError);
  TKvMemoryStream shortstr(
      std::string("\x05\x00\x00\x00"
                  "abcd",
                  8));
  EXPECT_THROW(ReadString(shortstr), EQuenError);
  try {
    ReadInt64(shorty);
    FAIL();
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
}

TEST(MemoryStream, SeekWriteAndCopy) {
  TKvMemoryStream a;
  a.WriteBuffer("hello", 5);
  a.Seek(-2, TSeekOrigin::soEnd);
  a.WriteBuffer("LOWORLD", 7);
  EXPECT_EQ(a.Data(), "helLOWORLD");
  a.Seek(20, TSeekOrigin::soBeginning);
  a.WriteBuffer("!", 1);
  EXPECT_EQ(a.GetSize(), 21);
  EXPECT_EQ(a.Data()[15], '\0');

  TKvMemoryStream b;
  a.SetPosition(7);
  EXPECT_EQ(b.CopyFrom(a, 0), 21);  // 0 copies the whole source from its start
  EXPECT_EQ(b.Data(), a.Data());
  a.SetPosition(3);
  TKvMemoryStream c;
  c.CopyFrom(a, 4);
  EXPECT_EQ(c.Data(), "LOWO");
  EXPECT_THROW(c.CopyFrom(a, 100), EQuenError);
}

}  // namespace
}  // namespace quen
