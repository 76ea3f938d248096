#include "runtime/project_setting.h"

#include "base/error.h"
#include "runtime/messages.h"

namespace quen {

void TParamData::LoadFromStream(TStream& s) {
  TParamData d;
  d.Type = ReadByte(s);
  d.Name = ReadString(s);
  switch (d.Type) {
    case 1:
      d.IntValue = ReadInt32(s);
      break;
    case 2:
      d.FloatValue = ReadExtended(s);
      break;
    case 3:
      d.BoolValue = ReadByte(s) != 0;
      break;
    case 4:
      d.StrValue = ReadString(s);
      break;
    default:
      break;
  }
  *this = std::move(d);
}

void TParamData::SaveToStream(TStream& s) const {
  WriteByte(s, Type);
  WriteString(s, Name);
  switch (Type) {
    case 1:
      WriteInt32(s, IntValue);
      break;
    case 2:
      WriteExtended(s, FloatValue);
      break;
    case 3:
      WriteByte(s, BoolValue ? 1 : 0);
      break;
    case 4:
      WriteString(s, StrValue);
      break;
    default:
      break;
  }
}

bool TParamData::operator==(const TParamData& o) const {
  return Type == o.Type && Name == o.Name && IntValue == o.IntValue && FloatValue == o.FloatValue &&
         BoolValue == o.BoolValue && StrValue == o.StrValue;
}

void TProjectSetting::LoadFromStream(TStream& s) {
  TProjectSetting p;  // this one changes only when the whole file has been read
  const int32_t v = ReadInt32(s);
  if (v > kMaxVersion) RaiseError(msg::kProjectVersionUnsupported);
  p.Version = v;
  p.Title = ReadString(s);
  p.ScreenWidth = ReadInt32(s);
  p.ScreenHeight = ReadInt32(s);
  p.FullScreenWidth = ReadInt32(s);
  p.FullScreenHeight = ReadInt32(s);
  p.StartPage = ReadString(s);
  if (v >= 110) p.EndPage = ReadString(s);
  p.RegistryKey = ReadString(s);
  p.IdCode = ReadInt32(s);
  if (v >= 104) p.PersistentStatus = ReadByte(s) != 0;
  if (v >= 106) p.YieldFlag = ReadByte(s) != 0;
  if (v >= 109) p.StreamingExtensions = ReadString(s);
  if (v >= 113) p.PauseWhenInactive = ReadByte(s) != 0;
  if (v >= 114) p.DiscByte = ReadByte(s);
  p.DiskPrompt = ReadString(s);
  p.ExitPrompt = ReadString(s);
  int32_t n = ReadInt32(s);
  // A record takes at least its type byte and its name's length.
  if (n < 0 || n > s.Remaining() / 5) RaiseReadError();
  p.Params.resize(static_cast<size_t>(n));
  for (auto& d : p.Params) d.LoadFromStream(s);
  p.FolderDisks.LoadFromStream(s);
  *this = std::move(p);
}

void TProjectSetting::SaveToStream(TStream& s) const {
  const int32_t v = Version;
  if (v > kMaxVersion) RaiseError(msg::kProjectVersionUnsupported);
  WriteInt32(s, v);
  WriteString(s, Title);
  WriteInt32(s, ScreenWidth);
  WriteInt32(s, ScreenHeight);
  WriteInt32(s, FullScreenWidth);
  WriteInt32(s, FullScreenHeight);
  WriteString(s, StartPage);
  if (v >= 110) WriteString(s, EndPage);
  WriteString(s, RegistryKey);
  WriteInt32(s, IdCode);
  if (v >= 104) WriteBool(s, PersistentStatus);
  if (v >= 106) WriteBool(s, YieldFlag);
  if (v >= 109) WriteString(s, StreamingExtensions);
  if (v >= 113) WriteBool(s, PauseWhenInactive);
  if (v >= 114) WriteByte(s, DiscByte);
  WriteString(s, DiskPrompt);
  WriteString(s, ExitPrompt);
  WriteInt32(s, static_cast<int32_t>(Params.size()));
  for (const auto& d : Params) d.SaveToStream(s);
  FolderDisks.SaveToStream(s);
}

}  // namespace quen
