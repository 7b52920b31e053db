#pragma once
// A line on a terminal that tells what a long command is doing: the stage, a bar when the
// stage counts its steps, and the time left (or, without steps, the time taken so far).
// It is drawn on standard error only when that is a terminal, at most five times a
// second from a thread of its own, and cleared when the work ends: no byte of it reaches
// a file or a pipe.
//
//   sinogram and reconstruction   [##########..........]  52%  1 min 10 s left

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace quarvel {

// The line for a stage at `done` of `total` steps (total 0: no steps) after `elapsed`
// seconds, at most `width` characters. The time left is elapsed / done * (total - done),
// shown once a step is done.
std::string ProgressLine(const std::string& stage, int done, int total, double elapsed, int width);

// "3 s", "1 min 10 s", "2 h 05 min": a duration in words, rounded to whole seconds.
std::string DurationText(double seconds);

class TTerminalProgress {
 public:
  // Draws on standard error when `enabled` and standard error is a terminal.
  explicit TTerminalProgress(bool enabled);
  ~TTerminalProgress();  // clears the line
  TTerminalProgress(const TTerminalProgress&) = delete;
  TTerminalProgress& operator=(const TTerminalProgress&) = delete;

  bool Active() const { return active_; }
  // A new stage of `total` steps (0: not counted); its clock starts now.
  void Stage(const std::string& name, int total = 0);
  // Steps done of the stage; may be called from any thread.
  void Advance(int done);

 private:
  void Draw();
  void Clear();

  bool active_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::string stage_;
  int done_ = 0, total_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::jthread ticker_;  // last: started once the rest exists
};

}  // namespace quarvel
