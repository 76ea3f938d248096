#include "media/midi_play_v.h"

#include <algorithm>

#include "base/stream.h"
#include "media/midi_messages.h"

namespace quen {

namespace {

constexpr uint8_t kSystemOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

uint32_t Packed(std::string_view b) {
  uint32_t m = static_cast<uint8_t>(b[0]);
  // A data byte with its top bit set would reach the port as a status: only seven bits go.
  if (b.size() > 1) m |= (static_cast<uint32_t>(b[1]) & 0x7F) << 8;
  if (b.size() > 2) m |= (static_cast<uint32_t>(b[2]) & 0x7F) << 16;
  return m;
}

}  // namespace

TMidiPlayV::TMidiPlayV(platform::IMidiPort& port, TMode mode)
    : port_(port), timer_(mode, [this](int64_t now) { Tick(now); }) {
  for (const auto& caps : port_.Devices()) devices_.push_back(TMidiDevice::FromCaps(caps));
  for (auto& row : scales_) row.fill(100);
  timer_.SetPeriod(kTickMs);
}

TMidiPlayV::~TMidiPlayV() {
  // The timer goes first in spirit: no tick may run while the port is taken down.
  timer_.Hold();
  timer_.SetEnabled(false);
  if (open_) {
    port_.Reset(timer_.NowMs());
    port_.Close();
    open_ = false;
  }
  std::lock_guard<std::mutex> l(pending_lock_);
  pending_.clear();
}

std::vector<std::string> TMidiPlayV::PortNames() const {
  std::vector<std::string> names{msg::kMidiMapper};
  for (const auto& d : devices_) names.push_back(d.name);
  return names;
}

template <typename F>
void TMidiPlayV::WaitUntil(F done) {
  for (int32_t i = 0; i < kWaitPolls && !done(); ++i) timer_.Wait(1);
}

void TMidiPlayV::OnNotify(platform::MidiNotification what, uint64_t buffer) {
  switch (what) {
    case platform::MidiNotification::kOpen:
      opened_note_ = true;
      break;
    case platform::MidiNotification::kClose:
      closed_note_ = true;
      break;
    case platform::MidiNotification::kDone: {
      std::lock_guard<std::mutex> l(pending_lock_);
      pending_.remove_if([&](const TLongBuffer& b) { return b.id == buffer; });
      break;
    }
  }
}

size_t TMidiPlayV::PendingLongMessages() {
  std::lock_guard<std::mutex> l(pending_lock_);
  return pending_.size();
}

void TMidiPlayV::Rewind() {
  current_ = 0;
  position_ = 0;
  end_taken_ = false;
  for (auto& row : values_) row[7] = 127;
}

void TMidiPlayV::LoadFromStream(TStream& stream) {
  Stop();
  try {
    TMidiV::LoadFromStream(stream);
  } catch (...) {
    Rewind();
    throw;
  }
  Rewind();
}

void TMidiPlayV::LoadFromBytes(std::string_view file) {
  Stop();
  try {
    TMidiV::LoadFromBytes(file);
  } catch (...) {
    Rewind();
    throw;
  }
  Rewind();
}

bool TMidiPlayV::OpenPort(int32_t device) {
  if (open_) return true;
  opened_note_ = false;
  if (!port_.Open(device, [this](platform::MidiNotification w, uint64_t b) { OnNotify(w, b); }))
    return false;
  open_ = true;
  WaitUntil([this] { return opened_note_.load(); });
  return true;
}

void TMidiPlayV::SendSystemOn() {
  WaitUntil([this] { return PendingLongMessages() == 0; });
  SendLong(std::string_view(reinterpret_cast<const char*>(kSystemOn), sizeof kSystemOn),
           timer_.NowMs());
  WaitUntil([this] { return PendingLongMessages() == 0; });
}

void TMidiPlayV::SendShort(uint32_t packed, int64_t now_ms) {
  if (open_) port_.ShortMessage(packed, now_ms);
}

void TMidiPlayV::SendLong(std::string_view bytes, int64_t now_ms) {
  // Without a port nothing would ever report the buffer done.
  if (!open_ || bytes.empty()) return;
  const uint8_t* data;
  uint64_t id;
  {
    std::lock_guard<std::mutex> l(pending_lock_);
    id = next_buffer_id_++;
    pending_.push_back(TLongBuffer{id, std::vector<uint8_t>(bytes.begin(), bytes.end())});
    data = pending_.back().bytes.data();
  }
  // The list node, and so the bytes, stay where they are until the port is done with them.
  port_.LongMessage(id, data, bytes.size(), now_ms);
}

void TMidiPlayV::SendController(int32_t c, int32_t n, int64_t now_ms) {
  const int64_t scaled = int64_t{values_[c][n]} * scales_[c][n] / 100;
  const auto v = static_cast<uint32_t>(std::clamp<int64_t>(scaled, 0, 127));
  SendShort(0xB0u | static_cast<uint32_t>(c) | static_cast<uint32_t>(n) << 8 | v << 16, now_ms);
}

void TMidiPlayV::SendEvent(const TMidiMsgEvent& e, int64_t now_ms) {
  const std::string_view b = Bytes(e);
  if (e.kind == 0) {
    const auto status = static_cast<uint8_t>(b[0]);
    if ((status & 0xF0) == 0xB0) {
      const int32_t c = status & 15;
      const int32_t n = b[1] & 0x7F;
      values_[c][n] = b[2] & 0x7F;
      SendController(c, n, now_ms);
    } else {
      SendShort(Packed(b), now_ms);
    }
  } else if (e.kind == 1) {
    SendLong(b, now_ms);
  }
}

void TMidiPlayV::AllNotesOff(int64_t now_ms) {
  if (!open_) return;
  for (uint32_t c = 0; c < 16; ++c) SendShort(0xB0u | c | 123u << 8, now_ms);
}

void TMidiPlayV::PlayFrom(int32_t ms) {
  timer_.Hold();
  timer_.SetEnabled(false);
  const auto& ev = Events();
  const int32_t count = static_cast<int32_t>(ev.size());
  // The event at ms, else the one before the first event after ms; 0 when none reaches ms.
  auto first = std::lower_bound(ev.begin(), ev.end(), ms,
                                [](const TMidiMsgEvent& e, int32_t t) { return e.time < t; });
  int32_t d = 0;
  if (first != ev.end()) {
    d = static_cast<int32_t>(first - ev.begin());
    if (first->time != ms && d > 0) --d;
  }
  const int64_t now = timer_.NowMs();
  if (d != current_) {
    AllNotesOff(now);
    if (d < current_) {
      current_ = 0;
      position_ = 0;
    }
    // A GS reset needs time to settle before the next message. Everything chased before the
    // last reset is undone by it, so one wait after that one serves the whole chase.
    int32_t last_reset = -1;
    for (int32_t i = current_; i < d; ++i)
      if (ev[i].kind == 1 && IsGsReset(Bytes(ev[i]))) last_reset = i;
    for (int32_t i = current_; i < d && i < count; ++i) {
      position_ = ev[i].time;
      const std::string_view b = Bytes(ev[i]);
      if (!IsNoteOn(b) && !IsNoteOff(b)) SendEvent(ev[i], timer_.NowMs());
      if (i == last_reset) timer_.Wait(10);
    }
    current_ = d;
  }
  end_taken_ = false;
  last_tick_ms_ = timer_.NowMs();
  timer_.SetEnabled(true);
  timer_.Release();
}

void TMidiPlayV::Stop() {
  if (!timer_.Enabled()) return;
  timer_.Hold();
  WaitUntil([this] { return PendingLongMessages() == 0; });
  timer_.SetEnabled(false);
  timer_.Wait(1);
  AllNotesOff(timer_.NowMs());
  timer_.Release();
}

void TMidiPlayV::ClosePort() {
  if (!open_) return;
  Stop();
  timer_.Hold();
  timer_.SetEnabled(false);
  const int64_t now = timer_.NowMs();
  port_.Reset(now);
  {
    std::lock_guard<std::mutex> l(pending_lock_);
    pending_.clear();
  }
  closed_note_ = false;
  port_.Close();
  WaitUntil([this] { return closed_note_.load(); });
  open_ = false;
  timer_.Release();
}

bool TMidiPlayV::IsEnd() const {
  return !repeat_ && current_ >= static_cast<int32_t>(Events().size()) - 1;
}

bool TMidiPlayV::TakeEnd() {
  if (end_taken_ || !IsEnd()) return false;
  end_taken_ = true;
  return true;
}

void TMidiPlayV::SetControllerScale(int32_t controller, int32_t percent) {
  if (controller < 0 || controller > 127) return;
  timer_.Hold();
  for (auto& row : scales_) row[controller] = percent;
  if (timer_.Enabled()) {
    const int64_t now = timer_.NowMs();
    for (int32_t c = 0; c < 16; ++c) SendController(c, controller, now);
  }
  timer_.Release();
}

void TMidiPlayV::Tick(int64_t now_ms) {
  const auto& ev = Events();
  const int32_t last = static_cast<int32_t>(ev.size()) - 1;
  // At the last event only a repeating piece has anything left to do: wait for the last
  // event's time and start again.
  if (last < 0 || current_ > last || (current_ == last && !repeat_)) return;
  const int64_t elapsed = std::clamp<int64_t>(now_ms - last_tick_ms_, 0, 1000);
  position_ = position_ + static_cast<int32_t>(elapsed);
  last_tick_ms_ = now_ms;
  while (ev[current_].time < position_) {
    if (current_ != last) {
      SendEvent(ev[current_], now_ms);
      ++current_;
    } else if (!repeat_) {
      break;
    } else {
      AllNotesOff(now_ms);
      current_ = 0;
      position_ = ev[0].time;
    }
  }
}

}  // namespace quen
