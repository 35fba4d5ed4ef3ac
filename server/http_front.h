// The score server's HTTP side: cpp-httplib's server and worker threads in front of a ScoreService.
//
// The game's client ends its header lines with a lone LF (and the request with LF LF CR LF), which
// the library's parser refuses, so each connection is read through a stream that turns the lone
// LFs of the request head into CR LF. Every connection also has a time limit and a size limit for
// its request head.
#pragma once

#include <memory>
#include <string>

class ScoreService;

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

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
