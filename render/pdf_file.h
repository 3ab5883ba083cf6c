// The object layer of a PDF file: numbered objects written one after another to the file,
// streams compressed with Flate, and the cross-reference table and trailer at the end.
// Objects may be written in any order; an object number is reserved first (Reserve) when
// another object must refer to it before it is written (a page to its parent, the pages
// to a resource dictionary written last).
//
// Writing happens on a thread of the file's own: WriteObject and WriteStream queue the
// object and return, and the thread compresses and writes the queued objects in the order
// they were queued (so the file's bytes do not depend on the thread). While the caller
// draws the next page the thread compresses the last one. At most kMaxQueued objects wait;
// a caller that gets ahead waits for room. Failed and Close wait for the queue to empty.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "render/flate_compressor.h"

namespace lgoty::render {

class PdfFile {
 public:
  PdfFile();
  ~PdfFile();
  PdfFile(const PdfFile&) = delete;
  PdfFile& operator=(const PdfFile&) = delete;

  // Creates (truncates) the file and writes the header; false when it cannot be created.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // True once a write has failed (a full disk); the file is then worthless. Waits for the
  // queued objects to be written.
  bool Failed();

  // A new object number, to be written later with WriteObject or WriteStream.
  int Reserve();
  // Writes "N 0 obj <body> endobj".
  void WriteObject(int id, std::string_view body);
  // Writes a stream object: dictionary entries (without the << >>, without /Length and
  // /Filter) and the data, compressed unless compress is false.
  void WriteStream(int id, std::string_view dictionary, std::string_view data,
                   bool compress = true);
  // The same, taking over the data without a copy (a page's content).
  void WriteStream(int id, std::string_view dictionary, std::string&& data,
                   bool compress = true);
  // Writes the cross-reference table and the trailer (root and info objects) and closes
  // the file; false when any write failed or an object was reserved and never written.
  bool Close(int root_id, int info_id);

 private:
  static constexpr size_t kMaxQueued = 4;

  // An object waiting for the writing thread: body is the object's dictionary ("<< ... >>"
  // of a plain object) or, for a stream, its dictionary entries, with the data apart.
  struct Job {
    int id = 0;
    bool stream = false;
    bool compress = false;
    std::string body;
    std::string data;
  };

  void Queue(Job job);
  // Waits until the writing thread has written everything queued.
  void Drain();
  void WorkerLoop();
  // On the writing thread (or after it stopped).
  void WriteJob(const Job& job);
  void Write(std::string_view bytes);

  // Written by the caller: the number of objects reserved. The offsets and everything
  // below them belong to the writing thread while it runs.
  int reserved_ = 0;
  FILE* file_ = nullptr;
  std::vector<char> buffer_;
  uint64_t offset_ = 0;
  std::vector<uint64_t> offsets_;  // by object number - 1; 0 while not written
  FlateCompressor flate_;
  bool failed_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;  // guarded by mutex_
  bool busy_ = false;      // guarded by mutex_: the thread is writing a job it took
  bool stop_ = false;      // guarded by mutex_
  std::thread worker_;
};

// A number as PDF writes it: at most `decimals` places, trailing zeros dropped.
void AppendNumber(std::string& out, double value, int decimals = 2);
// What AppendNumber writes for a value that rounds to scaled / 10^decimals (decimals 0 to
// 5, |scaled| < 10^17), written at out, which has room for 24 characters; returns its end.
char* WriteScaled(char* out, int64_t scaled, int decimals);

// AppendNumber with two decimals, remembering the text of the numbers it wrote last: a
// page's lines and runs come back to the same few columns and row edges again and again.
// Each value has one slot, chosen by its bits; a value met again in its slot is copied.
class NumberCache {
 public:
  // The room Write needs: the longest text AppendNumber writes with two decimals.
  static constexpr size_t kRoom = 64;

  void Append(std::string& out, double value);
  // The same text written at out, which has kRoom characters of room; returns its end. For
  // callers that put a whole operator together before appending it.
  char* Write(char* out, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const Entry& entry = entries_[SlotOf(bits)];
    if (entry.length != 0 && entry.bits == bits) {
      // All of the slot's text (a copy of fixed size), of which length characters count.
      std::memcpy(out, entry.text, sizeof entry.text);
      return out + entry.length;
    }
    return WriteNew(out, value);
  }

 private:
  struct Entry {
    uint64_t bits = 0;
    uint8_t length = 0;  // 0: the slot is empty
    char text[23] = {};
  };
  // 1024 slots (32 KB): a page of a list holds a few hundred distinct coordinates (every
  // row's edges and baselines), too many for 256 slots to keep without pushing each other
  // out.
  static constexpr int kSlotBits = 10;
  static size_t SlotOf(uint64_t bits) {
    return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ULL) >> (64 - kSlotBits));
  }
  char* WriteNew(char* out, double value);

  Entry entries_[1 << kSlotBits];
  std::string text_;  // a new value's text, kept for its room
};

}  // namespace lgoty::render
