// Holds the score service's password hashing busy: each hash entering its slot waits until the
// test opens the hold, and the test can wait until a number of them are inside.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class HashingHold {
 public:
  // Called in a hashing slot: counts itself in and waits until the hold is open.
  void Enter() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++inside_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
    --inside_;
  }
  // Lets every held hash and every later one go on.
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  int Inside() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inside_;
  }
  // Waits until count hashes are held; false if they never come (a guard against a hang, not a
  // measure of speed: nothing should take near that long).
  bool WaitInside(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return inside_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int inside_ = 0;
  bool open_ = false;
};
