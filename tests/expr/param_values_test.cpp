#include <gtest/gtest.h>

#include "base/error.h"
#include "expr/custom_param.h"
#include "expr/messages.h"
#include "expr/param_var.h"

namespace quen {
namespace {

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EQuenError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(ParamConversions, EveryTypeReadsAsEveryOther) {
  TParamStr s;
  s.SetAsString("true");
  EXPECT_FALSE(s.GetAsBool());
  s.SetAsString("TRUE");
  EXPECT_TRUE(s.GetAsBool());
  s.SetAsString(" 12 ");
  EXPECT_EQ(s.GetAsInteger(), 12);
  TParamFloat f;
  f.SetAsFloat(-2.9L);
  EXPECT_EQ(f.GetAsInteger(), -2);
  EXPECT_EQ(f.GetAsString(), "-2.9");
  EXPECT_TRUE(f.GetAsBool());
  TParamFlag b;
  b.SetAsInteger(5);
  EXPECT_EQ(b.GetAsInteger(), 1);
  EXPECT_EQ(b.GetAsString(), "TRUE");
  TParamInt i;
  i.SetAsString("$10");
  EXPECT_EQ(i.GetAsInteger(), 16);
  // Beyond 64 bits the FPU would trap; the value stays as it was.
  EXPECT_THROW(i.SetAsFloat(1e300L), EQuenError);
  EXPECT_EQ(i.GetAsInteger(), 16);
}

TEST(ParamArrays, DimensionsAndElements) {
  TParamInt a;
  EXPECT_EQ(ErrorOf([&] { a.SetDims({3, 0}); }), Format(msg::kArraySizeInvalid, "3,0"));
  EXPECT_EQ(a.GetCount(), 1);
  EXPECT_EQ(a.GetDimCount(), 1);
  a.SetDims({3});
  for (int i = 0; i < 3; ++i) a.SetIntAt(i, i + 1);
  a.SetDims({5});
  EXPECT_EQ(a.Items(), (std::vector<int32_t>{1, 2, 3, 0, 0}));
  a.SetDims({2, 3});
  EXPECT_EQ(a.GetDimCount(), 2);
  EXPECT_EQ(a.GetDimSize(1), 3);
  EXPECT_EQ(a.GetDimSize(7), 1);
  EXPECT_EQ(ErrorOf([&] { (void)a.GetIntAt(6); }), msg::kArrayIndexInvalid);
  EXPECT_EQ(ErrorOf([&] { a.SetIntAt(-1, 0); }), msg::kArrayIndexInvalid);
  a.SetAsInteger(9);  // a scalar assignment turns the array into a scalar
  EXPECT_EQ(a.GetCount(), 1);
  EXPECT_TRUE(a.GetDims().empty());
  EXPECT_EQ(a.GetAsInteger(), 9);
}

TEST(ParamArrays, HugeSizesFailWithTheArrayMessage) {
  TParamStr s;
  EXPECT_EQ(ErrorOf([&] {
              s.SetDims({65536, 65536, 65536});
            }),
            Format(msg::kArraySizeInvalid, "65536,65536,65536"));
  EXPECT_EQ(ErrorOf([&] { s.SetDims({2147483647}); }),
            Format(msg::kArraySizeInvalid, "2147483647"));
  EXPECT_EQ(s.GetCount(), 1);
}

TEST(ParamArrays, CopiesConvertOrRequireTheSameClass) {
  TParamFloat f;
  f.SetDims({2});
  f.SetFloatAt(0, 1.5L);
  f.SetFloatAt(1, -2.5L);
  TParamStr s;
  s.AssignConverted(f);
  EXPECT_EQ(s.GetStrAt(1), "-2.5");
  EXPECT_EQ(s.GetDims(), std::vector<int32_t>{2});
  TParamInt i;
  EXPECT_EQ(ErrorOf([&] { i.CopyFromSameType(f); }), msg::kCopyMemTypeMismatch);
  TParamFloat g;
  g.CopyFromSameType(f);
  EXPECT_EQ(g.GetFloatAt(1), -2.5L);
  i.FillStr("7");  // a fill of another type does nothing
  EXPECT_EQ(i.GetAsInteger(), 0);
}

TEST(ParamArrays, FindStringByCaseAndPart) {
  TParamStr s;
  s.SetDims({3});
  s.SetStrAt(0, "one");
  s.SetStrAt(1, "xabcx");
  s.SetStrAt(2, "ABC");
  EXPECT_EQ(s.FindString("ABC", false, true), 1);
  EXPECT_EQ(s.FindString("abc", false, false), 2);
  EXPECT_EQ(s.FindString("abc", true, false), -1);
  EXPECT_EQ(s.FindString("ABC", true, false), 2);
}

TEST(ParamStreams, EveryClassRoundTripsByteForByte) {
  TParamFloat f;
  f.SetDims({2, 2});
  f.SetFloatAt(3, 1e-4000L);
  TParamStr s;
  s.SetAsString("\x83\x5C");
  TParamFlag b;
  b.SetAsBool(true);
  TParamInt i;
  i.SetDims({3});
  i.SetIntAt(2, -5);
  for (TCustomParam* v : std::vector<TCustomParam*>{&f, &s, &b, &i}) {
    TKvMemoryStream m;
    v->SaveToStream(m);
    auto copy = NewParam(v->GetValueType());
    m.SetPosition(0);
    copy->LoadFromStream(m);
    EXPECT_EQ(m.Remaining(), 0);
    TKvMemoryStream again;
    copy->SaveToStream(again);
    EXPECT_EQ(again.Data(), m.Data());
  }
}

TEST(ParamStreams, DamagedRecordsFailAndLeaveTheValue) {
  auto load = [](TCustomParam& v, const std::string& bytes) {
    TViewStream s(bytes);
    v.LoadFromStream(s);
  };
  auto i32 = [](int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  TParamInt v;
  v.SetAsInteger(77);
  // Element count not matching the sizes.
  EXPECT_THROW(load(v, i32(1) + i32(2) + i32(3) + i32(1) + i32(2) + i32(3)), EQuenError);
  // A dimension count far beyond the bytes.
  EXPECT_THROW(load(v, i32(0x7FFFFFFF)), EQuenError);
  // A size of zero, a negative count, an element count beyond the bytes.
  EXPECT_THROW(load(v, i32(1) + i32(0) + i32(0)), EQuenError);
  EXPECT_THROW(load(v, i32(0) + i32(-1)), EQuenError);
  EXPECT_THROW(load(v, i32(1) + i32(1000) + i32(1000)), EQuenError);
  // Sizes whose product overflows.
  EXPECT_THROW(load(v, i32(2) + i32(65536) + i32(65536) + i32(0)), EQuenError);
  EXPECT_EQ(v.GetAsInteger(), 77);
  // A real that is not a finite number.
  TParamFloat f;
  std::string inf = i32(0) + i32(1) + std::string("\0\0\0\0\0\0\0\x80\xFF\x7F", 10);
  EXPECT_THROW(load(f, inf), EQuenError);
  EXPECT_THROW(NewParam(5), EQuenError);
}

TEST(ParamStreams, ReferenceRecordKeepsNamesAndIndex) {
  TParamVar v(nullptr, "arr");
  v.SetElementIndex(4);
  TKvMemoryStream m;
  v.SaveToStream(m);
  TParamVar back;
  m.SetPosition(0);
  back.LoadFromStream(m);
  EXPECT_EQ(back.TargetName(), "arr");
  EXPECT_EQ(back.ElementIndex(), 4);
  EXPECT_EQ(back.GetValueType(), PT_NONE);
  EXPECT_EQ(back.GetAsInteger(), 0);
  back.SetAsInteger(3);  // unresolved: nothing happens
  TKvMemoryStream again;
  back.SaveToStream(again);
  EXPECT_EQ(again.Data(), m.Data());
}

}  // namespace
}  // namespace quen
