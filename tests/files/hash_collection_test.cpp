#include "files/hash_collection.h"

#include <gtest/gtest.h>

#include "base/sjis.h"
#include "files/kv_random.h"

namespace quen {
namespace {

struct Named : THashItem {
  explicit Named(int t) : tag(t) {}
  int tag;
};

TEST(HashCollection, BucketFormulaUsesUnsignedLowerCasedBytes) {
  EXPECT_EQ(THashCollection::Bucket(""), 0);
  EXPECT_EQ(THashCollection::Bucket("A"), 16);
  // "ab": 2*16 + 'a' + 'a'
  EXPECT_EQ(THashCollection::Bucket("AB"), (32 + 'a' + 'a') & 0xFF);
  // Bytes above 0x7F count as unsigned: 3*16 + 0x83 + 0x83 (the second-last byte).
  EXPECT_EQ(THashCollection::Bucket("\x83\x83x"), (48 + 0x83 + 0x83) & 0xFF);
  // A trail byte in the last-but-one place is never folded ("\x82\x41" is one character);
  // a letter there is.
  EXPECT_EQ(THashCollection::Bucket("x\x82\x41"
                                    "y"),
            (64 + 'x' + 0x41) & 0xFF);
  EXPECT_EQ(THashCollection::Bucket("x\x82\x41"
                                    "Ay"),
            (80 + 'x' + 'a') & 0xFF);
  EXPECT_EQ(THashCollection::Bucket("\x82\x41"
                                    "B"),
            (48 + 0x82 + 0x41) & 0xFF);
  // Names that differ only in ASCII case share their bucket, whatever their characters.
  const std::string names[] = {"Data\\A.PNG", "\x83\x41\x83\x42Z", "AB\x82", "\x82"};
  for (const std::string& n : names)
    EXPECT_EQ(THashCollection::Bucket(n), THashCollection::Bucket(sjis::LowerAscii(n))) << n;
}

TEST(HashCollection, NewestOfEqualNamesWinsAndDeletionRenumbers) {
  THashCollection c;
  c.Add(std::make_unique<Named>(1), "Data\\A.png");
  c.Add(std::make_unique<Named>(2), "other");
  c.Add(std::make_unique<Named>(3), "DATA\\a.PNG");
  EXPECT_EQ(c.IndexOf("data\\a.png"), 2);
  EXPECT_EQ(c.IndexOf("Data\\A.png"), 2);
  EXPECT_EQ(c.IndexOf("missing"), -1);
  c.Delete(0);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.IndexOf("OTHER"), 0);
  EXPECT_EQ(c.IndexOf("data\\a.png"), 1);
  EXPECT_EQ(c.ItemAs<Named>(1)->tag, 3);
  c.Delete(1);
  EXPECT_EQ(c.IndexOf("data\\a.png"), -1);
}

TEST(HashCollection, RenamedItemIsFoundUnderItsNewNameFirst) {
  THashCollection c;
  auto* a = c.Add(std::make_unique<Named>(1), "x");
  c.Add(std::make_unique<Named>(2), "y");
  c.SetName(a, "y");  // now at the head of y's chain
  EXPECT_EQ(c.IndexOf("y"), 0);
  EXPECT_EQ(c.IndexOf("x"), -1);
}

TEST(KvRandom, SequenceAndIndexPool) {
  TKvRandom r(1);
  EXPECT_EQ(r.Next(), 1u);
  EXPECT_EQ(r.Next(), 6u);
  EXPECT_EQ(r.Next(), 31u);
  EXPECT_EQ(r.Next(), 156u);

  TKvRandom p(3);
  p.Reset(4);
  EXPECT_EQ(p.NextIndex(), 3);
  EXPECT_EQ(p.PoolSize(), 3);
  while (p.PoolSize() > 0) p.NextIndex();
  uint32_t state = p.State();
  EXPECT_EQ(p.NextIndex(), -1);  // empty pool: no division by zero
  EXPECT_EQ(p.State(), state);

  // The archive's key stream wraps modulo 2^32.
  TKvRandom k(1583926047);
  uint32_t s = 0;
  for (int i = 0; i < 1000; ++i) {
    s = s * 5u + 1583926047u;
    ASSERT_EQ(k.Next(), s);
  }
}

}  // namespace
}  // namespace quen
