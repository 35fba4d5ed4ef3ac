// Ogg Vorbis output: the usual libvorbisenc loop of analysis blocks and Ogg pages.
#include "ogg_write.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>

namespace {

constexpr int StreamSerial = 0x5147;
constexpr long Chunk = 4096;  // frames handed to the encoder at a time

bool WritePages(ogg_stream_state& os, FILE* file, bool flush) {
  ogg_page page;
  while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
    if (std::fwrite(page.header, 1, page.header_len, file) != static_cast<size_t>(page.header_len) ||
        std::fwrite(page.body, 1, page.body_len, file) != static_cast<size_t>(page.body_len))
      return false;
  }
  return true;
}

}  // namespace

bool WriteOgg(const std::string& path, const std::vector<float>& samples, int channels, int rate,
              float quality) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
    vorbis_info_clear(&vi);
    std::fclose(file);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, StreamSerial);

  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  bool ok = WritePages(os, file, true);  // the audio starts on a fresh page

  const long frames = static_cast<long>(samples.size() / channels);
  for (long done = 0; ok;) {
    const long n = frames - done < Chunk ? frames - done : Chunk;
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (long i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(done + i) * channels + c];
    }
    vorbis_analysis_wrote(&vd, static_cast<int>(n));  // 0 marks the end of the stream
    done += n;
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        ok = ok && WritePages(os, file, false);
      }
    }
    if (n == 0) break;
  }
  ok = ok && WritePages(os, file, true);

  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return std::fclose(file) == 0 && ok;
}
