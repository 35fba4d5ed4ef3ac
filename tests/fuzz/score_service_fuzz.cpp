// Any bytes as a request to the score server, split into a path and query parameters: the service
// answers every one without crashing, and refuses what it does not store.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "server/score_service.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// One service for the whole run, over a database in a memory folder that is removed at exit.
struct Scratch {
  Scratch() {
    path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/vq-fuzz-score-service-") +
           std::to_string(getpid()) + ".db";
    ServiceOptions options;
    options.DatabasePath = path;
    options.LightHashing = true;
    options.Log = [](const std::string&) {};
    service = std::make_unique<ScoreService>(options);
  }
  ~Scratch() {
    service.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  }
  std::string path;
  std::unique_ptr<ScoreService> service;
};

ScoreService& Service() {
  static Scratch scratch;
  return *scratch.service;
}

}  // namespace

// The input is the path, then pairs of key and value, all separated by zero bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  size_t at = 0;
  for (;;) {
    const size_t end = bytes.find('\0', at);
    parts.push_back(bytes.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  QueryParams params;
  for (size_t i = 1; i + 1 < parts.size(); i += 2) params.emplace_back(parts[i], parts[i + 1]);
  const ServiceReply reply = Service().Handle(parts[0], params);
  Check(reply.Status == 200 || reply.Status == 400 || reply.Status == 403 || reply.Status == 404 ||
        reply.Status == 500 || reply.Status == 503);
  Check(reply.Body.find('\0') == std::string::npos);
  return 0;
}
