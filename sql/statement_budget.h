// The time a statement may run. A statement that reaches its deadline stops with
// kBudgetExceededText (SQLite's progress handler checks it every few thousand virtual machine
// steps, and our own text functions check it inside their loops), so a runaway query such as
// an endless recursive CTE or a cross join of big tables ends with a clear error.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace lgoty::sql {

class TStatementBudget {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts the clock: the statement may run for `seconds` (0 = no limit).
  void Start(double seconds) {
    armed_ = seconds > 0;
    if (armed_) {
      deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds));
    }
    seconds_ = seconds;
  }
  void Stop() { armed_ = false; }
  bool Expired() const { return armed_ && Clock::now() >= deadline_; }
  double Seconds() const { return seconds_; }
  std::string ExceededText() const;

 private:
  bool armed_ = false;
  double seconds_ = 0;
  Clock::time_point deadline_{};
};

}  // namespace lgoty::sql
