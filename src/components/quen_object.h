// The component classes every kind shares: the named object with its owner registry, the
// component that raises events, and the visual control with geometry, children, drawing,
// mouse and key handling. Properties are addressed by code through ReadProp / WriteProp,
// which consult the property table before they reach a kind.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "components/prop_table.h"
#include "components/quen_handle.h"

namespace quen {

class TCustomDIBX;
class TStream;
class TQuenBaseList;
class TQuenBase;
class TQuenControl;
class TQuenMotion;

// The format version this player writes into saves.
constexpr int32_t kQuenStreamVersion = 140;
// The oldest version the readers accept.
constexpr int32_t kQuenOldestVersion = 100;

// One property value with the type of its row.
struct TPropValue {
  TPropType Type = TPropType::ptInt;
  int32_t Int = 0;  // Int, and Bool as 0 / 1
  long double Float = 0;
  std::string Str;

  static TPropValue OfInt(int32_t v) { return {TPropType::ptInt, v, 0, {}}; }
  static TPropValue OfBool(bool v) { return {TPropType::ptBool, v ? 1 : 0, 0, {}}; }
  static TPropValue OfFloat(long double v) { return {TPropType::ptFloat, 0, v, {}}; }
  static TPropValue OfStr(std::string v) { return {TPropType::ptStr, 0, 0, std::move(v)}; }
  // The not-carried value of a row (width and height come from the caller).
  static TPropValue Default(uint8_t code, int32_t width, int32_t height);
};

class TQuenObject {
 public:
  explicit TQuenObject(TQuenBaseList* owner);
  virtual ~TQuenObject();
  TQuenObject(const TQuenObject&) = delete;
  TQuenObject& operator=(const TQuenObject&) = delete;

  virtual const char* ClassName() const = 0;
  // The LT_ code the component reports (PR_COMPOTYPE) and stores ahead of its stream.
  virtual uint8_t CompoType() const { return LT_NONE; }
  virtual TQuenKind Kind() const { return TQuenKind::None; }
  virtual TQuenControl* AsControl() { return nullptr; }
  const TQuenControl* AsControl() const { return const_cast<TQuenObject*>(this)->AsControl(); }
  virtual bool IsRoot() const { return false; }

  TQuenHandle Handle() const { return handle_; }
  TQuenBaseList* Owner() const { return owner_; }

  const std::string& Name() const { return name_; }
  // The naming rule of the kind: a clash renames (controls) or scraps (others) the holder.
  void SetName(std::string_view name);
  bool HasSystemName() const { return !name_.empty() && name_[0] == '\x01'; }
  const std::string& Tag() const { return tag_; }
  void SetTag(std::string_view tag) { tag_ = tag; }
  int32_t Priority() const { return priority_; }
  void SetPriority(int32_t priority);
  int32_t PriorityOffset() const { return priority_offset_; }
  void SetPriorityOffset(int32_t offset);
  bool IsScrapped() const { return scrapped_; }

  // The whole dispatch: table defaults for what the kind does not carry, the shared codes,
  // then the kind. Writes of codes the kind does not carry (or carries read-only) do nothing.
  virtual bool Carries(uint8_t code) const;
  TPropValue ReadProp(uint8_t code) const;
  void WriteProp(uint8_t code, const TPropValue& value);
  int32_t PropInt(uint8_t code) const { return ReadProp(code).Int; }
  bool PropBool(uint8_t code) const { return ReadProp(code).Int != 0; }
  std::string PropStr(uint8_t code) const { return ReadProp(code).Str; }

  virtual bool IsPaused() const { return PropBool(PR_PAUSED); }
  // Menus and map images block their events in some states.
  virtual bool IsEventBlocked() const { return false; }
  virtual bool InCabinet() const { return false; }
  virtual bool WantsAutoName() const { return true; }
  // Per-frame step; True asks the registry to delete the component.
  virtual bool Update(int32_t frameMs);
  // Ends a batch of property writes (a creation command's list): kinds bring derived state up
  // to date; a control shows the result.
  virtual void EndUpdate() {}
  virtual void ReleaseSurfaces() {}
  virtual void RestoreSurfaces() {}
  // How a sound, video or menu plays (LP_ values); the others read LP_STOP and ignore writes.
  virtual uint8_t PlayMode() const { return LP_STOP; }
  virtual void SetPlayMode(uint8_t /*mode*/) {}
  // Starts a sound or video again from the beginning; nothing for the others.
  virtual void Replay() {}
  // The bytes an HTTP request received ("!" names it as the source of another request); the
  // others have none.
  virtual bool ReadResponse(std::string& /*bytes*/) const { return false; }

  // Queues the event of that code when its text is set and the component is not blocked;
  // with dedupe nothing is queued while a record of the same code waits or runs for it.
  bool FireEvent(uint8_t code, std::vector<std::string> args, bool dedupe);

  virtual void SaveToStream(TStream& s, int32_t version) const;
  virtual void LoadFromStream(TStream& s, int32_t version);

  // Lines of the diagnostic dump: properties that differ from their initial value.
  virtual void ListChangedProps(std::string& out) const;

 protected:
  virtual TPropValue ReadOwn(uint8_t code) const;
  virtual void WriteOwn(uint8_t code, const TPropValue& value);
  // What a clash does to the other holder of a new name.
  virtual void ResolveNameClash(TQuenObject& other);
  // Sets the priority without re-sorting or redrawing; the caller sorts the siblings once
  // (an emitter moving many particles).
  void SetPriorityQuietly(int32_t priority) {
    priority_ = priority;
    priority_offset_ = 0;
  }
  virtual int32_t DefaultWidth() const { return 0; }
  virtual int32_t DefaultHeight() const { return 0; }

  TQuenBaseList* owner_;
  // Values of the kind-specific codes this kind carries, written at least once.
  std::map<uint8_t, TPropValue> props_;

 private:
  friend class TQuenBaseList;
  friend class TQuenControl;
  TQuenHandle handle_;
  std::string name_;
  std::string tag_;
  int32_t priority_ = 0;
  int32_t priority_offset_ = 0;
  bool scrapped_ = false;
};

class TQuenComponent : public TQuenObject {
 public:
  using TQuenObject::TQuenObject;
};

class TQuenControl : public TQuenComponent {
 public:
  explicit TQuenControl(TQuenBaseList* owner);
  ~TQuenControl() override;

  TQuenControl* AsControl() override { return this; }

  TQuenControl* Parent() const { return parent_; }
  // Parenting: refuses itself and its descendants; re-sorts, invalidates, re-evaluates focus.
  void SetParent(TQuenControl* parent);
  const std::vector<TQuenControl*>& Children() const { return children_; }
  bool IsAncestorOf(const TQuenObject* other) const;
  // The root at the top of the parent chain, or null.
  TQuenBase* Root();
  // Restores the priority order after a priority, offset or name change of a child.
  void SortChildren();
  // Moves one child whose place changed (its priority or name) to where it belongs now.
  void ReorderChild(TQuenControl* child);
  // Orders two siblings; negative when a goes first (drawn under b).
  static int Compare(const TQuenControl& a, const TQuenControl& b);

  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  void SetHighlight(bool v);

  int32_t AbsLeft() const;
  int32_t AbsTop() const;
  // Where the anchor (the offsets) lands on the screen: the absolute top-left plus the anchor.
  TPoint AnchorToScreen() const;
  virtual TRect HitRect() const;
  bool ClipActive() const { return clip_w_ >= 1 && clip_h_ >= 1; }
  TRect ClipRect() const;
  TPoint ClientToScreen(TPoint p) const { return {p.X + AbsLeft(), p.Y + AbsTop()}; }
  TPoint ScreenToClient(TPoint p) const { return {p.X - AbsLeft(), p.Y - AbsTop()}; }

  // After-images (the fading copies of boxes, images and tiles).
  virtual bool IsAfterImage() const { return false; }
  virtual bool IsImageAfterImage() const { return false; }
  virtual TQuenHandle AfterImageSource() const { return {}; }
  virtual bool IsCabinet() const { return false; }
  bool InCabinet() const override;
  bool IsShowing();

  void Invalidate();
  virtual TRect ClipToParent(const TRect& r) const { return r; }
  // The surface drawing lands on: the root's answer up the parent chain.
  virtual TCustomDIBX* GetSurface();
  virtual void Draw(TCustomDIBX& target);
  void DrawChildren(TCustomDIBX& target);
  virtual TQuenControl* HitTest(int32_t x, int32_t y, TMouseMask mask);

  virtual void DoLButtonDown(int32_t x, int32_t y);
  virtual void DoLButtonUp(int32_t x, int32_t y);
  virtual void DoRButtonDown(int32_t x, int32_t y);
  virtual void DoRButtonUp(int32_t x, int32_t y);
  virtual void DoMouseMove(int32_t x, int32_t y);
  virtual void DoMouseOut(TQuenControl* newTarget);
  virtual void DoMouseIn(TQuenControl* previous);
  virtual void DoMouseHold() {}
  // The wheel turned over the control: its wheel event (lists also scroll).
  virtual void DoWheel(bool down);
  virtual bool ConsumeRightClick() { return false; }
  virtual TQuenControl* FindKeyTarget();
  virtual void DoKeyDown(const std::vector<int32_t>& keys);
  virtual void DoKeyUp(const std::vector<int32_t>& keys);
  virtual void DoKeyRepeat(const std::vector<int32_t>& keys);
  virtual void FocusReceived() {}
  // Characters typed while this control has the keyboard focus (Shift-JIS); text entries
  // take them, other controls ignore them.
  virtual void TextInput(const std::string& /*sjis*/) {}
  // Text entries that hold the focus take the keyboard themselves while their field shows:
  // keys then never reach the key tables.
  virtual bool TakesKeyboard() const { return false; }
  virtual void KeyInput(int32_t /*key*/, bool /*down*/) {}
  // What the input method is composing (Shift-JIS), shown until it is typed.
  virtual void CompositionInput(const std::string& /*sjis*/) {}
  virtual std::string GetEffectiveCursor() const { return cursor_; }
  virtual void PositionChanged();
  virtual void ClipChanged();
  virtual void EnteredCabinet() {}
  virtual void LeftCabinet() {}

  // Film-driven motion.
  TQuenMotion* GetMotion() const { return motion_.get(); }
  void SetMotion(std::unique_ptr<TQuenMotion> motion);
  // Opens the motion film through the installed loader; raises the loader's error.
  void StartMotion(const std::string& file);
  void RestartMotion();
  void FreeMotion();
  TPoint MotionPos() const { return {motion_x_, motion_y_}; }
  void SetMotionPos(int32_t x, int32_t y);

  bool Update(int32_t frameMs) override;
  void EndUpdate() override { Invalidate(); }

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;
  void ListChangedProps(std::string& out) const override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void ResolveNameClash(TQuenObject& other) override;
  int32_t DefaultWidth() const override { return width_; }
  int32_t DefaultHeight() const override { return height_; }
  // The kind's own picture, drawn before the children.
  virtual void DrawSelf(TCustomDIBX& /*target*/) {}
  // The terms of the absolute position on one axis that kinds refine: the anchor taken off
  // (the offset, scaled by the zoom, mirrored by the flip) and the position inside the parent
  // (the motion position while a motion exists, else left or top, zoomed with PR_POSZOOMED).
  virtual int64_t AnchorTerm(bool vertical) const;
  virtual int64_t PositionTerm(bool vertical) const;
  // Moves and sizes without invalidating, for kinds that redraw a whole area at once (an
  // emitter's particles).
  void PlaceQuietly(int32_t left, int32_t top, int32_t width, int32_t height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
  }
  // Queues a mouse event with the position relative to the control.
  void FireMouse(uint8_t code, int32_t x, int32_t y, bool dedupe);
  bool FiresButtonDown() const;

 private:
  friend class TQuenBaseList;
  void InsertChild(TQuenControl* child);
  // Inserts at the child's place in the order (InsertChild keeps stream order while loading).
  void PlaceChild(TQuenControl* child);
  void RemoveChild(TQuenControl* child);
  int32_t AbsAxis(bool vertical) const;
  void SaveChildren(TStream& s, int32_t version) const;
  void LoadChildren(TStream& s, int32_t version);

  TQuenControl* parent_ = nullptr;
  std::vector<TQuenControl*> children_;
  // After-images among the children: their ordering rules are no total order.
  int32_t after_image_children_ = 0;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int32_t offset_x_ = 0, offset_y_ = 0;
  bool visible_ = true;
  TColor color_ = 0;
  TRect spare_{0, 0, 1, 1};
  std::string mouse_events_[9];  // move, in, out, l down, l up, r down, r up, wheel down, up
  uint8_t ignore_mouse_ = IM_NONE;
  std::string cursor_;
  bool pos_zoomed_ = false;
  bool highlight_ = false;
  int32_t clip_l_ = 0, clip_t_ = 0, clip_w_ = 0, clip_h_ = 0;
  int32_t motion_x_ = 0, motion_y_ = 0;
  int32_t plus_x_ = 0, plus_y_ = 0;
  bool ani_paused_ = false;
  bool handle_key_ = false;
  std::string key_events_[5];  // key down, up, repeat, focus in, focus out
  std::unique_ptr<TQuenMotion> motion_;
};

// Sets a surface's clip; an empty rectangle means "draw nothing" and is the caller's to skip.
void SetSurfaceClip(TCustomDIBX& surface, const TRect& clip);

}  // namespace quen
