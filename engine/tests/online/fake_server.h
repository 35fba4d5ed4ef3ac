// A plain socket server on a loopback port for the client's tests: it reads each request as the
// client sends it (up to its first CR LF, which ends the request line) and answers through a handler.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeServer {
 public:
  // handler(fd, request) writes the answer to fd; the server closes the connection afterwards.
  using Handler = std::function<void(int fd, const std::string& request)>;
  explicit FakeServer(Handler handler);
  ~FakeServer();

  int port() const { return port_; }
  // The requests received so far, byte for byte.
  std::vector<std::string> requests();
  // True until the server is being shut down (handlers that hold a connection poll it).
  bool running() const { return !stop_; }

  // A handler that answers every request with the same bytes.
  static Handler Answer(std::string bytes);
  // A handler that sends the bytes and then keeps the connection open, silent, until the client
  // goes: the reply is cut off by the client's time limit.
  static Handler Stall(std::string bytes);
  // A handler that sends the bytes and then resets the connection instead of closing it.
  static Handler Reset(std::string bytes);
  // An ordinary reply around a body: status line and one header, CR LF line ends.
  static std::string Ok(const std::string& body);
  // Writes all bytes; false once the client has gone.
  static bool WriteAll(int fd, const std::string& bytes);

 private:
  void Serve();

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};
