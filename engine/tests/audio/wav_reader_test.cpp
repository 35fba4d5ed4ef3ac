#include <gtest/gtest.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstring>
#include <string>

#include "audio/backend.h"
#include "support/test_support.h"

namespace {

std::string Le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}
std::string Le16(uint16_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }

std::string Chunk(const std::string& id, const std::string& body, bool pad = true) {
  std::string c = id + Le32(static_cast<uint32_t>(body.size())) + body;
  if (pad && body.size() % 2 == 1) c += '\0';
  return c;
}

std::string Fmt(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits, int blockAlign = -1) {
  const uint16_t align = blockAlign >= 0 ? static_cast<uint16_t>(blockAlign) : static_cast<uint16_t>(channels * bits / 8);
  return Le16(format) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

std::string Riff(const std::string& chunks) { return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks; }

std::shared_ptr<SoundSamples> Read(const std::string& bytes) {
  return ReadWave(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

const std::string Pcm16Stereo = Le16(1) + Le16(0xFFFF) + Le16(0x7FFF) + Le16(0x8000);  // 2 frames

}  // namespace

TEST(WavReader, ReadsPcmOfEitherWidthAndLayout) {
  struct Case {
    const char* what;
    std::string file;
    int rate, channels;
    std::vector<int16_t> samples;
  } cases[] = {
      {"16-bit stereo", Riff(Chunk("fmt ", Fmt(1, 2, 44100, 16)) + Chunk("data", Pcm16Stereo)), 44100, 2,
       {1, -1, 32767, -32768}},
      {"8-bit mono, odd data size padded", Riff(Chunk("fmt ", Fmt(1, 1, 11025, 8)) + Chunk("data", std::string("\x00\x80\xFF", 3))),
       11025, 1, {-32768, 0, 32512}},
      {"8-bit mono, pad byte left out",
       Riff(Chunk("fmt ", Fmt(1, 1, 8000, 8)) + Chunk("LIST", "odd", false) + Chunk("data", "\x80\x80")), 8000, 1,
       {0, 0}},
      {"data before fmt, other chunks around",
       Riff(Chunk("JUNK", "xyz") + Chunk("data", Le16(5)) + Chunk("LIST", "INFOabcd") + Chunk("fmt ", Fmt(1, 1, 7, 16))),
       7, 1, {5}},
      {"extensible format, PCM sub-format",
       Riff(Chunk("fmt ", Fmt(0xFFFE, 1, 22050, 16) + Le16(22) + Le16(16) + Le32(4) + Le16(1) + std::string(14, 'g')) +
            Chunk("data", Le16(7) + Le16(8))),
       22050, 1, {7, 8}},
      {"a partial last frame is dropped", Riff(Chunk("fmt ", Fmt(1, 2, 1000, 16)) + Chunk("data", Pcm16Stereo + "\x01\x02")),
       1000, 2, {1, -1, 32767, -32768}},
      {"RIFF size 0 from a streaming writer",
       "RIFF" + Le32(0) + "WAVE" + Chunk("fmt ", Fmt(1, 1, 100, 16)) + Chunk("data", Le16(3)), 100, 1, {3}},
      {"trailing bytes beyond the RIFF size ignored",
       Riff(Chunk("fmt ", Fmt(1, 1, 100, 16)) + Chunk("data", Le16(3))) + "garbage!", 100, 1, {3}},
  };
  for (const Case& c : cases) {
    auto sound = Read(c.file);
    ASSERT_NE(sound, nullptr) << c.what;
    EXPECT_EQ(sound->Rate, c.rate) << c.what;
    EXPECT_EQ(sound->Channels, c.channels) << c.what;
    EXPECT_EQ(sound->Samples, c.samples) << c.what;
  }
}

TEST(WavReader, DamagedOrHostileFilesGiveNothing) {
  const std::string fmt = Chunk("fmt ", Fmt(1, 1, 44100, 16));
  const std::string data = Chunk("data", Le16(1) + Le16(2));
  struct Case {
    const char* what;
    std::string file;
  } cases[] = {
      {"empty", ""},
      {"header only", "RIFF"},
      {"not RIFF", "RIFX" + Le32(100) + "WAVE" + fmt + data},
      {"not WAVE", "RIFF" + Le32(100) + "AVI " + fmt + data},
      {"no fmt", Riff(data)},
      {"no data", Riff(fmt)},
      {"zero channels", Riff(Chunk("fmt ", Fmt(1, 0, 44100, 16, 2)) + data)},
      {"three channels", Riff(Chunk("fmt ", Fmt(1, 3, 44100, 16)) + data)},
      {"24 bit", Riff(Chunk("fmt ", Fmt(1, 1, 44100, 24)) + data)},
      {"float samples", Riff(Chunk("fmt ", Fmt(3, 1, 44100, 32)) + data)},
      {"extensible, float sub-format",
       Riff(Chunk("fmt ", Fmt(0xFFFE, 1, 44100, 16) + Le16(22) + Le16(16) + Le32(4) + Le16(3) + std::string(14, 'g')) + data)},
      {"rate 0", Riff(Chunk("fmt ", Fmt(1, 1, 0, 16)) + data)},
      {"absurd rate", Riff(Chunk("fmt ", Fmt(1, 1, 4000000000u, 16)) + data)},
      {"block size that lies", Riff(Chunk("fmt ", Fmt(1, 1, 44100, 16, 0)) + data)},
      {"fmt too short", Riff(Chunk("fmt ", Fmt(1, 1, 44100, 16).substr(0, 14)) + data)},
      {"empty data", Riff(fmt + Chunk("data", ""))},
      {"data shorter than one frame", Riff(Chunk("fmt ", Fmt(1, 2, 44100, 16)) + Chunk("data", "ab"))},
      {"a 4 GB data chunk claimed", Riff(fmt + "data" + Le32(0xFFFFFFFFu) + Le16(1) + Le16(2))},
      {"data running past the end", Riff(fmt + "data" + Le32(6) + Le16(1) + Le16(2))},
      {"fmt running past the end", Riff("fmt " + Le32(40) + Fmt(1, 1, 44100, 16))},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.file), nullptr) << c.what;
  EXPECT_EQ(ReadWave(nullptr, 100), nullptr);
}

namespace {

// A short Ogg Vorbis stream of a sine tone, encoded here so the test needs no binary file.
std::string EncodeOgg(int channels, int rate, int frames) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  EXPECT_EQ(vorbis_encode_init_vbr(&vi, channels, rate, 0.3f), 0);
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  std::string out;
  auto flush = [&](bool all) {
    ogg_page page;
    while (all ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
      out.append(reinterpret_cast<char*>(page.header), page.header_len);
      out.append(reinterpret_cast<char*>(page.body), page.body_len);
    }
  };
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  flush(true);
  float** buffer = vorbis_analysis_buffer(&vd, frames);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) buffer[c][i] = 0.5f * std::sin(i * 0.05f * (c + 1));
  vorbis_analysis_wrote(&vd, frames);
  vorbis_analysis_wrote(&vd, 0);
  while (vorbis_analysis_blockout(&vd, &vb) == 1) {
    vorbis_analysis(&vb, nullptr);
    vorbis_bitrate_addblock(&vb);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&vd, &packet)) {
      ogg_stream_packetin(&os, &packet);
      flush(false);
    }
  }
  flush(true);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

std::shared_ptr<SoundSamples> ReadOgg(const std::string& bytes) {
  return ReadOggVorbis(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

TEST(OggReader, DecodesMonoAndStereoAndRefusesDamage) {
  for (int channels : {1, 2}) {
    const std::string ogg = EncodeOgg(channels, 22050, 11025);
    auto sound = ReadOgg(ogg);
    ASSERT_NE(sound, nullptr) << channels;
    EXPECT_EQ(sound->Rate, 22050);
    EXPECT_EQ(sound->Channels, channels);
    EXPECT_EQ(sound->Frames(), 11025u);
    int16_t peak = 0;
    for (int16_t s : sound->Samples) peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(s)));
    EXPECT_NEAR(peak, 16384, 2000);  // the tone at half scale
  }
  const std::string ogg = EncodeOgg(1, 8000, 4000);
  EXPECT_EQ(ReadOgg(""), nullptr);
  EXPECT_EQ(ReadOgg("OggS" + std::string(200, '\0')), nullptr);
  EXPECT_EQ(ReadOgg(ogg.substr(0, 60)), nullptr);  // cut inside the headers
  std::string scrambled = ogg;
  for (size_t i = 100; i < scrambled.size(); i += 7) scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
  auto damaged = ReadOgg(scrambled);  // whatever survives, never more than the stream holds
  if (damaged) {
    EXPECT_LE(damaged->Frames(), 4000u);
  }
}

TEST(SoundFiles, FilesAreToldApartByTheirContent) {
  TempDir dir;
  WriteFile(dir.file("a.ogg"), Riff(Chunk("fmt ", Fmt(1, 1, 100, 16)) + Chunk("data", Le16(3))));  // a WAVE, named .ogg
  WriteFile(dir.file("b.wav"), EncodeOgg(1, 8000, 800));                                          // an Ogg, named .wav
  WriteFile(dir.file("c.wav"), "MThd this is something else entirely");
  ASSERT_NE(ReadSoundFile(dir.file("a.ogg")), nullptr);
  EXPECT_EQ(ReadSoundFile(dir.file("a.ogg"))->Samples, std::vector<int16_t>{3});
  ASSERT_NE(ReadSoundFile(dir.file("b.wav")), nullptr);
  EXPECT_EQ(ReadSoundFile(dir.file("b.wav"))->Frames(), 800u);
  EXPECT_EQ(ReadSoundFile(dir.file("c.wav")), nullptr);
  EXPECT_EQ(ReadSoundFile(dir.file("missing.wav")), nullptr);
  EXPECT_EQ(ReadSoundFile(dir.path()), nullptr);  // a folder
}
