// The score server's HTTP side: cpp-httplib's server and worker threads in front of a ScoreService.
//
// The game's client ends its header lines with a lone LF (and the request with LF LF CR LF), which
// the library's parser refuses, so each connection is read through a stream that turns the lone
// LFs of the request head into CR LF. Every connection also has a time limit and a size limit for
// its request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ScoreService;

inline constexpr size_t RequestLimitBytes = 65536;  // the whole request as received; more is refused (413)
inline constexpr size_t TargetLimitBytes = 8192;    // the request target, the library's own limit (414)
inline constexpr size_t BodyLimitBytes = 4096;      // a request body; a longer one is refused (413)

// The bytes of one request as they arrive, turned into what the library's parser reads: until the
// head has ended (at its first empty line) a lone LF reads as CR LF; after it the bytes pass as
// they are. More than RequestLimitBytes received in all refuses the request.
class RequestReader {
 public:
  // Adds the next bytes received; false, and nothing added, once the request would pass the limit.
  bool Take(std::string_view bytes);
  // Moves up to size of the bytes waiting to be parsed into out; how many.
  size_t Read(char* out, size_t size);
  bool Waiting() const { return pos_ < pending_.size(); }
  bool HeadEnded() const { return headEnded_; }
  // The length of the head as parsed, its final CR LF CR LF included; 0 until it has ended.
  size_t HeadBytes() const { return headEnded_ ? headBytes_ : 0; }
  bool TooLarge() const { return tooLarge_; }
  size_t Received() const { return received_; }

 private:
  void Emit(char c);

  std::string pending_;
  size_t pos_ = 0;
  size_t received_ = 0;
  size_t headBytes_ = 0;  // bytes emitted while the head had not ended
  char previous_ = 0;
  uint32_t tail_ = 0;
  bool headEnded_ = false;
  bool tooLarge_ = false;
};

class ScoreHttpServer {
 public:
  explicit ScoreHttpServer(ScoreService& service);
  ~ScoreHttpServer();
  ScoreHttpServer(const ScoreHttpServer&) = delete;
  ScoreHttpServer& operator=(const ScoreHttpServer&) = delete;

  // Binds the address and port (0: any free port); the port bound, or -1.
  int Bind(const std::string& address, int port);
  // Serves until Stop is called; false when it could not serve at all.
  bool Run();
  // Ends Run (from any thread); connections under way are finished first.
  void Stop();

  // One connection's request given as the pieces it arrives in, read and answered as a socket's is
  // (the same reading, limits, handlers and refusals), without a socket: the bytes sent back.
  std::string Answer(const std::vector<std::string>& pieces);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
