#include "ui/TerminalProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quarvel {

std::string DurationText(double seconds) {
  const long total = std::lround(std::max(0.0, seconds));
  char text[48];
  if (total < 60)
    std::snprintf(text, sizeof text, "%ld s", total);
  else if (total < 3600)
    std::snprintf(text, sizeof text, "%ld min %ld s", total / 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld h %02ld min", total / 3600, total / 60 % 60);
  return text;
}

std::string ProgressLine(const std::string& stage, int done, int total, double elapsed, int width) {
  std::string line = stage;
  if (total > 0) {
    done = std::clamp(done, 0, total);
    constexpr int kBar = 20;
    const int filled = static_cast<int>(std::int64_t(done) * kBar / total);
    line += "  [" + std::string(filled, '#') + std::string(kBar - filled, '.') + "]  ";
    line += std::to_string(std::int64_t(done) * 100 / total) + "%";
    if (done > 0 && done < total)
      line += "  " + DurationText(elapsed / done * (total - done)) + " left";
  } else {
    line += "  " + DurationText(elapsed);
  }
  if (width > 0 && static_cast<int>(line.size()) > width)
    line.resize(static_cast<std::size_t>(width));
  return line;
}

TTerminalProgress::TTerminalProgress(bool enabled)
    : active_(enabled && ::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {
  if (!active_) return;
  ticker_ = std::jthread([this](const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
      wake_.wait_for(lock, stop, std::chrono::milliseconds(200), [] { return false; });
      if (!stop.stop_requested()) Draw();
    }
  });
}

TTerminalProgress::~TTerminalProgress() {
  if (!active_) return;
  ticker_.request_stop();
  ticker_.join();
  const std::lock_guard lock(mutex_);
  Clear();
}

void TTerminalProgress::Stage(const std::string& name, int total) {
  if (!active_) return;
  const std::lock_guard lock(mutex_);
  stage_ = name;
  done_ = 0;
  total_ = total;
  start_ = std::chrono::steady_clock::now();
}

void TTerminalProgress::Advance(int done) {
  if (!active_) return;
  const std::lock_guard lock(mutex_);
  done_ = done;
}

// With the mutex held.
void TTerminalProgress::Draw() {
  if (stage_.empty()) return;
  winsize size{};
  const int width =
      ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  // Back to the line's start, the line, and the rest of the old one erased.
  std::fprintf(stderr, "\r%s\x1b[K", ProgressLine(stage_, done_, total_, elapsed, width).c_str());
  std::fflush(stderr);
}

void TTerminalProgress::Clear() {
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
}

}  // namespace quarvel
