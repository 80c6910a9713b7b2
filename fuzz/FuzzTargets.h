#pragma once
// The entry points shared by the libFuzzer targets and the regression test that replays every corpus and
// crash file. Each takes one input, runs it through the real reader as the program would, checks the promises
// the reader makes (no crash, a consistent document, a faithful round trip) and answers what was broken, or
// an empty string when everything held.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qiva::fuzz {

// The bytes as "关联记录.TXT": LoadAssociations, then an append and commit, then a second load.
std::string Associations(const uint8_t* data, size_t size);

// The bytes as a timed lyrics file: ReadLyricsFile, then a rewrite and a second read.
std::string LyricsFile(const uint8_t* data, size_t size);

// The bytes as a lyrics file that may be LRC: ReadLyricsFile (a failed LRC read changes nothing), then a
// rewrite as LRC that reads back as the document LRC can hold, and the same bytes when written again.
std::string LrcFile(const uint8_t* data, size_t size);

// The bytes as a lyric text file: the open of step two, a save and open again, and the expansion of the
// opened text into lyric lines, as "下一步" would do.
std::string LyricText(const uint8_t* data, size_t size);

// The bytes as a song: the engine's decoder opens it, decodes it through and seeks in it.
std::string Mp3(const uint8_t* data, size_t size);

// The bytes as a FLAC, WAV or Ogg (Vorbis or Opus) song: the same, through the decoder of that format.
std::string Flac(const uint8_t* data, size_t size);
std::string Wav(const uint8_t* data, size_t size);
std::string Ogg(const uint8_t* data, size_t size);

// The targets by the names of their corpus folders: "assoc", "lyrics", "lrc", "text", "mp3", "flac", "wav",
// "ogg".
using Target = std::string (*)(const uint8_t*, size_t);
Target TargetNamed(const std::string& name);

}  // namespace qiva::fuzz
