// The score server's HTTP side: libmicrohttpd's event loop (epoll) in front of a ScoreService.
//
// One thread waits on every connection at once, so idle or slow clients cost a little memory each
// and delay nobody. Table reads are answered on that thread straight away; logins and uploads, which
// may wait for a password hash, are handed to a few worker threads while their connection is
// suspended, and the connection is resumed with the reply. The library takes the game's request
// heads as they are (header lines ended by a lone LF). It honours no Range header: a reply is
// always the whole body.
//
// Limits: one request per connection (HTTP/1.0 style; the connection closes after the reply), a
// head of at most HeadLimitBytes, a request target of at most TargetLimitBytes (414), a body of
// at most BodyLimitBytes (413), a few connections at a time from one address (more are closed as
// they come), a head complete within a few seconds of connecting and the whole connection within
// ten (closed past either).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ScoreService;

// A connection's memory for its request head (and the library's bookkeeping of it); a larger head
// is refused (431, or 414 for a request line alone). At most 32 kB the library takes it from
// malloc; more would be mapped and unmapped for each connection, which costs more than the rest
// of a table read.
inline constexpr size_t HeadLimitBytes = 32768;
inline constexpr size_t TargetLimitBytes = 8192;  // the request target, query included (414 past it)
inline constexpr size_t BodyLimitBytes = 4096;    // a request body; a longer one is refused (413)

struct FrontOptions {
  unsigned ConnectionsPerAddress = 16;  // connections open at once from one address; more are closed at once
  int HeadLimitMs = 4000;               // a connection without a complete head by then is closed
  int ConnectionLimitMs = 10000;        // no connection lasts longer, unless its reply is being computed
  // Threads for the requests that may wait for hashing: more than the service's hashes and queue
  // together, so that the service itself turns away the requests it cannot queue (503 at once).
  size_t Workers = 16;
  size_t QueuedLimit = 256;  // requests waiting for a worker; one more is answered 503 at once
  size_t ThreadStackBytes = 0;  // the workers' stack size; 0: the system's default
  // The address of a proxy in front (nginx): a request from it names its client in X-Real-IP, and
  // that address is the one the service's limits count. Empty: every client is its own peer.
  std::string TrustedProxy;
  // One line per refusal of the front's own (limits, time-outs, the library's messages); standard
  // error when empty.
  std::function<void(const std::string&)> Log;
};

class ScoreHttpServer {
 public:
  explicit ScoreHttpServer(ScoreService& service, FrontOptions options = {});
  ~ScoreHttpServer();
  ScoreHttpServer(const ScoreHttpServer&) = delete;
  ScoreHttpServer& operator=(const ScoreHttpServer&) = delete;

  // Binds the address and port (0: any free port); the port bound, or -1.
  int Bind(const std::string& address, int port);
  // Serves until Stop is called, the event loop on the calling thread; false when it could not
  // serve at all.
  bool Run();
  // Ends Run (from any thread): no new connection is taken, those under way are finished first
  // (within the connection time limit).
  void Stop();

  // One connection's request given as the pieces it arrives in, read and answered by the same
  // library, handlers, limits (all but the cap per address) and refusals as a client's, through a
  // socket pair with the address 127.0.0.1, whether or not Run is serving: the bytes sent back.
  // Once the pieces are read and the request is still incomplete, the client's side is closed.
  std::string Answer(const std::vector<std::string>& pieces);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
