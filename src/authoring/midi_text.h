// The text form of a MIDI file, which `quentool midi dump` writes and `quentool midi asm` reads:
// the header's numbers, then every chunk in file order, each track as one line per event
// (the delta in ticks, then the event's bytes in hex as stored, so a line without its status byte
// is running status). Everything the reader keeps apart is written out (a longer delta encoding
// as raw:HEX, header bytes past six, a stored chunk length that disagrees with the bytes, bytes
// after a track's last event or after the last chunk), so assembling a dump gives the file back
// byte for byte.
//
//   format 1
//   tracks 2
//   division 480
//   track
//     0 FF510307A120
//     480 903C40
//     0 3C00
//     0 FF2F00
//   end
//   chunk 58595A31 0102
//
// Optional lines: "header-length N", "header-extra HEX" (after the three numbers), "track length
// N", "trailing HEX" (last in a track), "chunk ID length N HEX", "trailer HEX" (last). Lines
// beginning with # are comments.
#pragma once

#include <string>
#include <string_view>

namespace quen {

// Raises the sequencer's error for a file the player refuses.
std::string DumpMidiText(std::string_view file);
// Raises EQuenError("line N: why") for text it cannot read; checks nothing of the MIDI grammar,
// so damaged files can be written on purpose.
std::string AssembleMidiText(std::string_view text);

}  // namespace quen
