// The values of the rows a scan returns in a known order, made ahead on a second thread:
// while the reading thread hands row i to SQLite (which copies each value into its own
// registers, and the query dataset copies them again), the worker decodes the rows after it
// into a ring of slots. Decoding a register's record (trimming, code page to UTF-8, numbers,
// dates) costs about as much as the rest of a row's way through SQLite, so the two halves
// run side by side on two cores.
//
// The ring holds kSlots rows. The worker fills row i only when the reader has moved past
// row i - kSlots, and the reader takes row i only when the worker has published it, so a
// slot is never read and written at once; both sides pass their positions under a mutex in
// batches, to lock seldom, and each side waits on a condition (no spinning) when it runs
// into the other. The worker stops and is joined when the prefetch is destroyed, at whatever row.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lgoty::sql {

// A column's value as the table hands it to SQLite. Text, blob and error bytes stand in the
// row's text; Deferred is a value the worker leaves to the reading thread.
struct TRowValue {
  enum class Type : uint8_t { Null, Integer, Real, Text, Blob, Error, Deferred };
  Type type = Type::Null;
  uint32_t at = 0, size = 0;
  union {
    int64_t integer = 0;
    double real;
  };
};

// The values of one row, by column.
struct TRowValues {
  std::vector<TRowValue> values;
  std::string text;

  void Clear() {
    values.clear();
    text.clear();
  }
  std::string_view Bytes(const TRowValue& value) const { return {text.data() + value.at, value.size}; }
};

class TRowPrefetch {
 public:
  // Fills row (cleared) with the values of the index-th row of the order. Runs on the worker
  // thread: it must not throw and must read nothing the reading thread changes meanwhile.
  using Decode = std::function<void(size_t index, TRowValues& row)>;

  // Starts the worker over rows 0 .. rows - 1. Throws std::system_error when no thread can
  // be started.
  TRowPrefetch(size_t rows, Decode decode);
  ~TRowPrefetch();
  TRowPrefetch(const TRowPrefetch&) = delete;
  TRowPrefetch& operator=(const TRowPrefetch&) = delete;

  // The values of row index, waiting for the worker when it is not there yet. The reader is
  // done with every row before index: index may only grow. Throws std::out_of_range for an
  // index past the rows.
  const TRowValues& Row(size_t index);

 private:
  static constexpr size_t kSlots = 512;  // a power of two
  static constexpr size_t kBatch = 16;   // rows between two publications of a position

  void Run();
  // Tells the worker that the rows before index are done with (mutex_ held).
  void PublishTaken(size_t index);

  std::vector<TRowValues> slots_;
  const size_t rows_;
  Decode decode_;
  std::mutex mutex_;
  std::condition_variable made_changed_, taken_changed_;
  size_t made_ = 0;   // rows 0 .. made_ - 1 are in their slots (mutex_)
  size_t taken_ = 0;  // rows before taken_ are done with (mutex_)
  std::atomic<bool> stop_{false};
  size_t made_seen_ = 0;   // the reader's last look at made_
  size_t taken_sent_ = 0;  // the reader's last publication of taken_
  std::thread worker_;
};

}  // namespace lgoty::sql
