// Flip: switches the shown screen root with a transition, moving the components named in its
// lists between the roots first.
#include <sstream>

#include "base/error.h"
#include "components/quen_base_list.h"
#include "components/quen_image.h"
#include "imaging/custom_wipe.h"
#include "runtime/com_support.h"

namespace quen {

namespace {

using com::BoolOf;
using com::IntOf;

class TComFlip : public TCommand {
 public:
  enum : int {
    kKind = 0,
    kTime = 1,
    kReverse = 2,
    kMode = 3,
    kNames = 4,
    kClear = 5,
    kParam1 = 6,
    kParam2 = 7,
    kText = 8,
    kBlock = 9
  };
  TComFlip() : TCommand(13) {}

  void Start(TCallMan& cm) override {
    TQuenBaseList& registry = cm.Registry();
    registry_ = &registry;
    int32_t kind = IntOf(cm, *this, kKind).value_or(0);
    if (kind < 0 || kind > kWipeKindCount) kind = 0;
    const std::optional<int32_t> time = IntOf(cm, *this, kTime);
    const int32_t duration = time && *time > 1 ? *time : 1;
    const bool reverse = BoolOf(cm, *this, kReverse).value_or(false);
    block_ = BoolOf(cm, *this, kBlock).value_or(false);
    clear_ = BoolOf(cm, *this, kClear).value_or(false);
    const std::optional<int32_t> mode = IntOf(cm, *this, kMode);
    std::vector<std::string> names;
    for (TQuenParser& e : fields[kNames].list) {
      e.Execute(cm.Vars(), cm.Funcs());
      if (!e.Result()) continue;
      std::istringstream in(e.Result()->GetAsString());
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        names.push_back(line);
      }
    }
    state_ = 0;
    snapshot_ = {};
    if (mode) {
      if (time && *time > 0) {
        snapshot_ = TQuenImage::MakeScreenSnapshot(registry)->Handle();
      } else {
        state_ = 3;
      }
      const std::vector<TQuenControl*> children = registry.ActiveRoot().Children();
      for (auto it = children.rbegin(); it != children.rend(); ++it) {
        TQuenControl* c = *it;
        if (c->Handle() == snapshot_ || !registry.IsRegistered(c)) continue;
        bool matched = false;
        for (const std::string& n : names) matched |= n == c->Name();
        if ((matched && *mode == 1) || (!matched && *mode == 0))
          c->SetParent(&registry.InactiveRoot());
      }
    }
    if (state_ != 3 &&
        registry.StartTransition(registry.ActiveIndex(), kind, duration, false, 1, reverse)) {
      if (TCustomWipe* t = registry.RunningTransition()) {
        if (std::optional<int32_t> p = IntOf(cm, *this, kParam1)) t->SetParam(0, *p);
        if (std::optional<int32_t> p = IntOf(cm, *this, kParam2)) t->SetParam(1, *p);
        if (TCustomParam* text = com::Value(cm, *this, kText)) t->SetPicture(text->GetAsString());
        t->Prepare();
      }
    }
    running_ = true;
  }

  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    registry_ = &cm.Registry();
    if (state_ == 0) {
      state_ = 1;
      cm.cont = 0;
      return;
    }
    if (state_ == 1) {
      start_ = cm.clock;
      state_ = 2;
      cm.cont = 0;
      return;
    }
    const int64_t elapsed = cm.clock - start_;
    // The registry is asked every frame: a screen switch, a reset or a film may have freed it.
    TCustomWipe* t = state_ == 2 ? cm.Registry().RunningTransition() : nullptr;
    if (t && elapsed < t->Duration()) {
      t->SetElapsed(static_cast<int32_t>(elapsed));
      cm.cont = 0;
      return;
    }
    Finish(cm.Registry());
    ++pc;
  }

  bool IsBusy() const override { return running_ && state_ != 3; }
  bool BlocksEvents() const override { return block_; }
  void Abort() override {
    if (running_ && registry_) Finish(*registry_);
  }
  void SaveState(std::unique_ptr<TStream>& s) override {
    if (!s) s = std::make_unique<TKvMemoryStream>();
    com::WriteStateTag(*s);
    WriteByte(*s, block_ ? 1 : 0);
    WriteByte(*s, clear_ ? 1 : 0);
  }
  void LoadState(TStream& s) override {
    com::ReadStateTag(s);
    block_ = ReadByte(s) != 0;
    clear_ = ReadByte(s) != 0;
    // A record from a game save finds a fresh command: it waits its two frames and finishes.
    if (!running_) {
      state_ = 0;
      running_ = true;
    }
  }

 private:
  void Finish(TQuenBaseList& registry) {
    running_ = false;
    registry.StartTransition(registry.ActiveIndex() ^ 1, 0, 0, true, 0, 0);
    TQuenObject* shot = registry.Resolve(snapshot_);
    if (!shot) shot = registry.FindComponent(TQuenImage::SnapshotName());
    if (shot && !shot->IsRoot()) registry.Scrap(shot);
    snapshot_ = {};
    if (!clear_) return;
    const std::vector<TQuenControl*> children = registry.InactiveRoot().Children();
    for (TQuenControl* c : children)
      if (registry.IsRegistered(c) && !c->IsCabinet()) registry.Scrap(c);
  }

  TQuenBaseList* registry_ = nullptr;
  int32_t state_ = 0;
  int64_t start_ = 0;
  bool block_ = false;
  bool clear_ = false;
  bool running_ = false;
  TQuenHandle snapshot_;
};

}  // namespace

std::unique_ptr<TCommand> NewScreenCommand(uint8_t code) {
  if (code == 13) return std::make_unique<TComFlip>();
  return nullptr;
}

}  // namespace quen
