// The text form of wave files, from which the tool makes test and demo sounds and into which it
// dumps them. One statement per line, '#' starts a comment:
//   format CHANNELS RATE BITS     the fmt chunk of plain PCM (8 or 16 bits)
//   fmtraw HEX...                 the fmt chunk's body as given (damaged records)
//   chunk ID HEX...               another chunk, here among the others
//   datasize N / riffsize N       the sizes the file claims instead of the true ones
//   samples V...                  stored values, interleaved (8 bits: 0..255)
//   tone HZ MS AMPLITUDE          a sine wave on every channel (amplitude on the 16-bit scale)
//   square HZ MS AMPLITUDE        a square wave
//   noise MS AMPLITUDE SEED       white noise of a fixed generator
//   silence MS
// The data chunk comes after the fmt chunk and the chunks written before the first sound line.
#pragma once

#include <string>

namespace quen {

// The file's bytes; false with the line and the reason.
bool AssembleWaveText(const std::string& text, std::string& wav, std::string& error);
// The text of a RIFF wave of plain PCM; false (error set) for anything else.
bool DumpWaveText(const std::string& wav, std::string& text, std::string& error);

}  // namespace quen
