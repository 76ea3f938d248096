// "quen.dll": the media library the player binds by export name, built into the player. It
// plays ogg and wave sound (its sound engine), hands decoded sound to the wave output engine,
// plays Windows Media files from memory, and plays videos with their sound. Every object is an
// Int32 handle from an "Add" call (0: refused); a call with a handle that is not (or no
// longer) there does nothing and answers 0 or false. Calls come from the main thread; the
// library reads the player's streams through the callbacks from its own threads too.
#pragma once

#include <cstdint>

namespace quen::platform {
class IAudioDevice;
}

namespace quen {

inline constexpr int32_t kQuenLibVersion = 108;

// The player's streams as the library reads them. The player makes each callback hold one
// process-wide lock while it runs.
struct TQuenStreamCallbacks {
  int64_t (*get_size)(void* stream);
  int64_t (*read)(void* stream, void* buffer, int64_t count);
  int64_t (*get_position)(void* stream);
  int64_t (*set_position)(void* stream, int64_t position);
};

struct TQuenWaveFormat {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t samples_per_sec;
  uint32_t avg_bytes_per_sec;
  uint16_t block_align;
  uint16_t bits_per_sample;
};

// What a video shows now: 32-bit pixels 0x00RRGGBB, rows top-down, no padding.
struct TQuenPicture {
  int32_t width;
  int32_t height;
  const uint32_t* pixels;
};

// Library.
int32_t quenVersion();
// The audio device the engines play through (may be null: nothing is heard) and the stream
// callbacks. flag is unused (false).
bool quenInit(platform::IAudioDevice* device, const TQuenStreamCallbacks* callbacks, bool flag);
void quenFinal();

// Ogg and wave sound through the library's engine. Positions and lengths in ms, volumes and
// pans in hundredths of a decibel.
int32_t quenOggmanAdd(void* stream, bool is_ogg);
void quenOggmanDel(int32_t handle);
void quenOggmanRestore();
void quenOggmanSetUseThread(bool on);
void quenOggmanUpdate();
void quenOggPlay(int32_t handle);
void quenOggPause(int32_t handle);
bool quenOggIsPaused(int32_t handle);
bool quenOggIsPlaying(int32_t handle);
bool quenOggIsEnd(int32_t handle);
int32_t quenOggGetLen(int32_t handle);
int32_t quenOggGetPosition(int32_t handle);
void quenOggSetPosition(int32_t handle, int32_t ms);
bool quenOggGetAutoRepeat(int32_t handle);
void quenOggSetAutoRepeat(int32_t handle, bool on);
int32_t quenOggGetRepeatPos(int32_t handle);
void quenOggSetRepeatPos(int32_t handle, int32_t ms);
int32_t quenOggGetPan(int32_t handle);
void quenOggSetPan(int32_t handle, int32_t pan);
int32_t quenOggGetVol(int32_t handle);
void quenOggSetVol(int32_t handle, int32_t volume);

// Decoded sound for the wave output engine: the stored bytes of plain 8- and 16-bit waves,
// 16-bit samples of everything else. Positions and sizes in bytes, the length in ms.
int32_t quenOggStrmanAdd(void* stream, bool is_ogg);
void quenOggStrmanDel(int32_t handle);
bool quenOggStrGetFormat(int32_t handle, TQuenWaveFormat* format);
int32_t quenOggStrRead(int32_t handle, void* buffer, int32_t count);
int32_t quenOggStrGetPos(int32_t handle);
void quenOggStrSetPos(int32_t handle, int32_t bytes);
int32_t quenOggStrGetLen(int32_t handle);
int32_t quenOggStrGetSize(int32_t handle);

// Windows Media files, read from memory the caller keeps until quenWmpmanDel.
int32_t quenWmpmanAdd(const void* memory, int64_t size);
void quenWmpmanDel(int32_t handle);
// Once a frame: the engine's own bookkeeping (there are no window messages here).
void quenWmpmanProcessEvent();
void quenWmpmanRestore();
void quenWmpPlay(int32_t handle);
void quenWmpPause(int32_t handle);
bool quenWmpIsPlaying(int32_t handle);
bool quenWmpIsPaused(int32_t handle);
bool quenWmpIsEnd(int32_t handle);
int32_t quenWmpGetLen(int32_t handle);
int32_t quenWmpGetPosition(int32_t handle);
void quenWmpSetPosition(int32_t handle, int32_t ms);
bool quenWmpGetAutoRepeat(int32_t handle);
void quenWmpSetAutoRepeat(int32_t handle, bool on);
int32_t quenWmpGetPan(int32_t handle);
void quenWmpSetPan(int32_t handle, int32_t pan);
int32_t quenWmpGetVol(int32_t handle);
void quenWmpSetVol(int32_t handle, int32_t volume);

// Videos with their sound: from the stream, or (stream null) from the host file path.
// Capture videos give their pictures to the caller (quenVideoGetDC); the others are shown over
// the game screen by the caller at their rectangle.
int32_t quenVidmanAdd(const char* path, void* stream, bool capture);
void quenVidmanDel(int32_t handle);
// On every drawn frame: every video decodes the picture of its position.
void quenVidmanProcessEvent();
// Around a switch of the screen: every playing video pauses, and goes on again.
void quenVidmanSuspend();
void quenVidmanResume();
void quenVideoPlay(int32_t handle);
void quenVideoPause(int32_t handle);
bool quenVideoIsPaused(int32_t handle);
bool quenVideoIsPlaying(int32_t handle);
bool quenVideoIsEnd(int32_t handle);
int32_t quenVideoGetLen(int32_t handle);
int32_t quenVideoGetPosition(int32_t handle);
void quenVideoSetPosition(int32_t handle, int32_t ms);
// Where the picture goes on the game screen, in panel coordinates.
void quenVideoSetRect(int32_t handle, int32_t left, int32_t top, int32_t width, int32_t height);
bool quenVideoGetVisible(int32_t handle);
void quenVideoSetVisible(int32_t handle, bool visible);
int32_t quenVideoGetVol(int32_t handle);
void quenVideoSetVol(int32_t handle, int32_t volume);
int32_t quenVideoGetPan(int32_t handle);
void quenVideoSetPan(int32_t handle, int32_t pan);
bool quenVideoGetAutoRepeat(int32_t handle);
void quenVideoSetAutoRepeat(int32_t handle, bool on);
int32_t quenVideoGetSourceWidth(int32_t handle);
int32_t quenVideoGetSourceHeight(int32_t handle);
// The current picture (the pixels stay valid until the next ProcessEvent or Del); false
// before the first one.
bool quenVideoGetDC(int32_t handle, TQuenPicture* picture);
// True when a new picture came since the last GetDC.
bool quenVideoNeedPaint(int32_t handle);

// The exports by name, as the player binds them: the address of the export, or null.
void* quenFindExport(const char* name);
// Every export name, in the order above.
const char* const* quenExportNames(int32_t* count);

}  // namespace quen
