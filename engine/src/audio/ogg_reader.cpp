// Ogg Vorbis files, decoded whole by libvorbisfile from memory.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "audio/backend.h"

namespace {

struct MemoryFile {
  const uint8_t* Data;
  size_t Size;
  size_t Pos = 0;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
  auto* file = static_cast<MemoryFile*>(source);
  if (size == 0) return 0;
  const size_t items = std::min(count, (file->Size - file->Pos) / size);
  std::memcpy(out, file->Data + file->Pos, items * size);
  file->Pos += items * size;
  return items;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(source);
  const ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(file->Pos)
                                                                        : static_cast<ogg_int64_t>(file->Size);
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  if (offset < -base || offset > static_cast<ogg_int64_t>(file->Size) - base) return -1;
  file->Pos = static_cast<size_t>(base + offset);
  return 0;
}

long TellMemory(void* source) { return static_cast<long>(static_cast<MemoryFile*>(source)->Pos); }

}  // namespace

std::shared_ptr<SoundSamples> ReadOggVorbis(const uint8_t* data, size_t size) {
  if (!data || size == 0) return nullptr;
  MemoryFile file{data, size};
  OggVorbis_File vf;
  const ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
  if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return nullptr;
  const vorbis_info* info = ov_info(&vf, -1);
  if (!info || (info->channels != 1 && info->channels != 2) || info->rate <= 0 || info->rate > 1000000) {
    ov_clear(&vf);
    return nullptr;
  }
  auto sound = std::make_shared<SoundSamples>();
  sound->Rate = static_cast<int>(info->rate);
  sound->Channels = info->channels;
  int firstLink = -1;
  char buffer[16384];
  bool tooLong = false;
  for (;;) {
    int link = 0;
    const int bigEndian = std::endian::native == std::endian::big ? 1 : 0;
    const long got = ov_read(&vf, buffer, sizeof buffer, bigEndian, 2, 1 /* signed */, &link);
    if (got == OV_HOLE) continue;  // a gap in the data: go on after it
    if (got <= 0) break;           // the end, or damage past which nothing can be read
    if (firstLink < 0) firstLink = link;
    if (link != firstLink) {
      // A chained stream may change its format: the sound ends where its first part does.
      const vorbis_info* now = ov_info(&vf, link);
      if (!now || now->channels != sound->Channels || now->rate != info->rate) break;
    }
    const size_t samples = static_cast<size_t>(got) / 2;
    if (sound->Samples.size() + samples > MaxDecodedSamples) {
      tooLong = true;
      break;
    }
    const size_t at = sound->Samples.size();
    sound->Samples.resize(at + samples);
    std::memcpy(sound->Samples.data() + at, buffer, samples * 2);
  }
  ov_clear(&vf);
  sound->Samples.resize(sound->Frames() * static_cast<size_t>(sound->Channels));
  if (tooLong || sound->Samples.empty()) return nullptr;
  return sound;
}
