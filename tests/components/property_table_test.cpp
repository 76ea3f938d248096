#include <gtest/gtest.h>

#include <memory>

#include "base/error.h"
#include "components/quen_base_list.h"
#include "components/quen_kinds.h"
#include "expr/custom_param.h"

namespace quen {
namespace {

std::unique_ptr<TCustomParam> Holder(TPropType t) {
  switch (t) {
    case TPropType::ptInt:
      return std::make_unique<TParamInt>();
    case TPropType::ptFloat:
      return std::make_unique<TParamFloat>();
    case TPropType::ptBool:
      return std::make_unique<TParamFlag>();
    case TPropType::ptStr:
      return std::make_unique<TParamStr>();
  }
  return nullptr;
}

// A value per type that no property starts with.
std::unique_ptr<TCustomParam> Probe(TPropType t) {
  auto p = Holder(t);
  switch (t) {
    case TPropType::ptInt:
      p->SetAsInteger(7);
      break;
    case TPropType::ptFloat:
      p->SetAsFloat(2.5L);
      break;
    case TPropType::ptBool:
      p->SetAsBool(true);
      break;
    case TPropType::ptStr:
      p->SetAsString("zz");
      break;
  }
  return p;
}

TEST(PropertyTable, NamesAndCodesLookUpBothWays) {
  for (int code = 0; code < kPropCount; ++code)
    EXPECT_EQ(PropCodeOf(PropInfo(static_cast<uint8_t>(code)).Ident), code);
  EXPECT_EQ(PropCodeOf("PR_BLURDELAY"), 164);
  EXPECT_EQ(PropCodeOf("PR_NOPE"), -1);
  for (int t = 0; t < kTypeCodeCount; ++t)
    EXPECT_EQ(TypeCodeOf(TypeCodeIdent(static_cast<uint8_t>(t))), t);
  EXPECT_EQ(TypeCodeOf("LT_CABINET"), 27);
  EXPECT_EQ(std::string(PropInfo(PR_FONTHOVERCOLOR).DisplayUtf8),
            "マウスオーバー時の\r\nフォント色");
  EXPECT_EQ(TypeCodeDisplayName(LT_MES),
            "\x83\x81\x83\x62\x83\x5A\x81\x5B\x83\x57\x83\x7B\x83\x62\x83\x4E\x83\x58");
}

TEST(PropertyTable, FactoryMakesEveryTypeAndNothingForTheEmptyCodes) {
  TQuenBaseList reg;
  for (int t = 0; t < 256; ++t) {
    TQuenObject* o = reg.CreateComponent(static_cast<uint8_t>(t));
    const int masked = t & 0x7F;
    if (masked == 0 || masked == 1 || masked == 10 || masked > 27) {
      EXPECT_EQ(o, nullptr) << t;
    } else {
      ASSERT_NE(o, nullptr) << t;
      EXPECT_EQ(o->CompoType(), masked);
    }
  }
}

// Every kind against every code: reading follows the table (not carried: its default), and a
// write reaches exactly the kinds that carry the code and may write it.
TEST(PropertyTable, EveryKindReadsAndWritesEveryCodeAsTheTableSays) {
  for (int type = 2; type < kTypeCodeCount; ++type) {
    if (type == LT_MAP) continue;
    for (int code = 0; code < kPropCount; ++code) {
      TQuenBaseList reg;
      TQuenObject* o = reg.CreateComponent(static_cast<uint8_t>(type));
      ASSERT_NE(o, nullptr);
      const uint8_t c = static_cast<uint8_t>(code);
      const TPropInfo& info = PropInfo(c);
      const bool isControl = o->AsControl() != nullptr;
      const bool carried = (info.Flags & kAll) || ((info.Flags & kCtl) && isControl) ||
                           (info.Kinds & KindBit(o->Kind()));
      const bool writable =
          carried && !(info.Flags & (kRO | kRefused)) && !(info.ReadOnlyKinds & KindBit(o->Kind()));
      SCOPED_TRACE(std::string(TypeCodeIdent(static_cast<uint8_t>(type))) + " " + info.Ident);
      EXPECT_EQ(o->Carries(c), carried);

      auto before = Holder(info.Type);
      GetProp(*o, code, *before);
      EXPECT_EQ(before->GetValueType(), static_cast<uint8_t>(info.Type));
      if (!carried && !(info.Flags & (kDefWidth | kDefHeight))) {
        EXPECT_EQ(before->GetAsInteger(), info.Type == TPropType::ptStr ? 0 : info.Default);
        EXPECT_EQ(before->GetAsString(),
                  info.Type == TPropType::ptStr ? "" : before->GetAsString());
      }

      auto probe = Probe(info.Type);
      if (info.Flags & kRefused) {
        EXPECT_THROW(SetProp(*o, code, *probe), EQuenError);
        continue;
      }
      if (c == PR_PARENT) continue;  // by name; covered by the parenting tests
      // Codes a kind gives behaviour of its own (tested with the kind) do not simply store.
      if (type == LT_CABINET && c == PR_VISIBLE) continue;
      // A sound's or video's position is its item's; a sound's animation pause is write-only.
      if ((type == LT_SOUND || type == LT_VIDEO) && c == PR_INDEX) continue;
      if (type == LT_SOUND && c == PR_ANIPAUSED) continue;
      // Only a button of a group can be selected.
      if (type == LT_BUTTON && c == PR_SELECTED) continue;
      // A message box without text has no page to select or scroll.
      if (type == LT_MES && (c == PR_INDEX || c == PR_SCROLLY)) continue;
      // A list without items has no row to scroll to; values read clamped into [min, max].
      if (type == LT_MENU && c == PR_TOPINDEX) continue;
      if ((type == LT_SLIDER || type == LT_SCROLLBAR || type == LT_GAUGE) && c == PR_VALUE)
        continue;
      SetProp(*o, code, *probe);
      auto after = Holder(info.Type);
      GetProp(*o, code, *after);
      if (writable) {
        if (info.Type == TPropType::ptFloat)
          EXPECT_EQ(after->GetAsFloat(), 2.5L);
        else
          EXPECT_EQ(after->GetAsString(), probe->GetAsString());
      } else {
        EXPECT_EQ(after->GetAsString(), before->GetAsString());
      }
    }
  }
}

TEST(PropertyTable, NotCarriedDefaultsAndStyleBits) {
  TQuenBaseList reg;
  TQuenObject* timer = reg.CreateComponent(LT_TIMER);
  TQuenObject* sound = reg.CreateComponent(LT_SOUND);
  TQuenObject* box = reg.CreateComponent(LT_BOX);
  TQuenObject* label = reg.CreateComponent(LT_LABEL);
  TQuenObject* fire = reg.CreateComponent(LT_FIRE);
  TQuenObject* menu = reg.CreateComponent(LT_MENU);
  EXPECT_EQ(timer->PropInt(PR_ALPHA), 255);
  EXPECT_EQ(sound->PropInt(PR_COLOR), 16777215);
  EXPECT_EQ(box->PropInt(PR_INDEX), -1);
  EXPECT_EQ(box->PropBool(PR_REWINDONLOAD), true);
  EXPECT_EQ(timer->PropBool(PR_VISIBLE), false);
  EXPECT_EQ(box->PropBool(PR_VISIBLE), true);
  EXPECT_EQ(timer->PropInt(PR_COMPOTYPE), LT_TIMER);

  TParamInt v;
  v.SetAsInteger(5);
  SetProp(*label, PR_FONTSTYLE, v);
  EXPECT_EQ(label->PropInt(PR_FONTSTYLE), 5);
  v.SetAsInteger(16);
  SetProp(*label, PR_FONTSTYLE, v);
  EXPECT_EQ(label->PropInt(PR_FONTSTYLE), 0);

  // Original sizes of kinds without them read the control's size; the menu reads both so.
  box->AsControl()->SetBounds(0, 0, 30, 20);
  menu->AsControl()->SetBounds(0, 0, 40, 25);
  EXPECT_EQ(box->PropInt(PR_ORIGWIDTH), 30);
  EXPECT_EQ(box->PropInt(PR_ORIGHEIGHT), 20);
  EXPECT_EQ(menu->PropInt(PR_ORIGWIDTH), 40);
  EXPECT_EQ(fire->PropInt(PR_ORIGWIDTH), 0);  // the fire carries its own, writable one
  v.SetAsInteger(99);
  SetProp(*fire, PR_ORIGWIDTH, v);
  EXPECT_EQ(fire->PropInt(PR_ORIGWIDTH), 99);

  TParamInt holder;
  EXPECT_THROW(GetProp(*box, 165, holder), EQuenError);
  EXPECT_THROW(SetProp(*box, 165, v), EQuenError);
  EXPECT_THROW(SetProp(*box, PR_APPEARX, v), EQuenError);
  EXPECT_NO_THROW(SetProp(*box, PR_COMPOTYPE, v));
  EXPECT_EQ(box->PropInt(PR_COMPOTYPE), LT_BOX);
  GetProp(*box, PR_APPEARY, holder);
  EXPECT_EQ(holder.GetAsInteger(), 0);
}

TEST(PropertyTable, WritesConvertToTheRowType) {
  TQuenBaseList reg;
  TQuenObject* box = reg.CreateComponent(LT_BOX);
  TParamStr s;
  s.SetAsString("42");
  SetProp(*box, PR_LEFT, s);
  EXPECT_EQ(box->PropInt(PR_LEFT), 42);
  TParamInt i;
  i.SetAsInteger(12);
  SetProp(*box, PR_TAG, i);
  EXPECT_EQ(box->Tag(), "12");
}

}  // namespace
}  // namespace quen
