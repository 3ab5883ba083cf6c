#include "render/pdf_file.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>

#include "core/rounding.h"

namespace lgoty::render {

PdfFile::PdfFile() = default;

PdfFile::~PdfFile() {
  if (worker_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  if (file_) std::fclose(file_);
}

bool PdfFile::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  buffer_.resize(1 << 20);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  // The binary comment tells transfer programs that the file is not plain text.
  Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  worker_ = std::thread([this] { WorkerLoop(); });
  return true;
}

void PdfFile::Queue(Job job) {
  if (!worker_.joinable()) {
    WriteJob(job);
    return;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kMaxQueued; });
  queue_.push_back(std::move(job));
  lock.unlock();
  changed_.notify_all();
}

void PdfFile::Drain() {
  if (!worker_.joinable()) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void PdfFile::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopped with nothing left
    Job job = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    changed_.notify_all();  // room in the queue
    try {
      WriteJob(job);
    } catch (const std::exception&) {
      failed_ = true;  // out of memory for the compressed copy: the file is incomplete
    }
    lock.lock();
    busy_ = false;
    changed_.notify_all();  // maybe drained
  }
}

bool PdfFile::Failed() {
  Drain();
  return failed_;
}

void PdfFile::Write(std::string_view bytes) {
  if (!file_ || failed_) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
  offset_ += bytes.size();
}

int PdfFile::Reserve() { return ++reserved_; }

void PdfFile::WriteObject(int id, std::string_view body) {
  if (id < 1 || id > reserved_) return;
  Job job;
  job.id = id;
  job.body.assign(body);
  Queue(std::move(job));
}

void PdfFile::WriteStream(int id, std::string_view dictionary, std::string_view data,
                          bool compress) {
  WriteStream(id, dictionary, std::string(data), compress);
}

void PdfFile::WriteStream(int id, std::string_view dictionary, std::string&& data,
                          bool compress) {
  if (id < 1 || id > reserved_) return;
  Job job;
  job.id = id;
  job.stream = true;
  job.compress = compress;
  job.body.assign(dictionary);
  job.data = std::move(data);
  Queue(std::move(job));
}

void PdfFile::WriteJob(const Job& job) {
  const size_t index = static_cast<size_t>(job.id - 1);
  if (offsets_.size() <= index) offsets_.resize(index + 1, 0);
  if (!job.stream) {
    offsets_[index] = offset_;
    Write(std::to_string(job.id));
    Write(" 0 obj\n");
    Write(job.body);
    Write("\nendobj\n");
    return;
  }
  std::string_view body = job.data;
  bool compress = job.compress;
  if (compress) {
    if (flate_.Compress(job.data)) {
      body = flate_.Result();
    } else {
      compress = false;
    }
  }
  offsets_[index] = offset_;
  std::string head = std::to_string(job.id) + " 0 obj\n<<";
  head += job.body;
  head += " /Length " + std::to_string(body.size());
  if (compress) head += " /Filter /FlateDecode";
  head += ">>\nstream\n";
  Write(head);
  Write(body);
  Write("\nendstream\nendobj\n");
}

bool PdfFile::Close(int root_id, int info_id) {
  if (!file_) return false;
  if (worker_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    worker_.join();  // the thread writes what is queued before it stops
  }
  offsets_.resize(static_cast<size_t>(reserved_), 0);
  const uint64_t xref = offset_;
  std::string table = "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n";
  table += "0000000000 65535 f \n";
  char line[24];
  bool missing = false;
  for (uint64_t at : offsets_) {
    if (at == 0) missing = true;
    std::snprintf(line, sizeof line, "%010llu 00000 n \n", static_cast<unsigned long long>(at));
    table += line;
  }
  table += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " +
           std::to_string(root_id) + " 0 R /Info " + std::to_string(info_id) +
           " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  Write(table);
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_ && !missing;
}

namespace {

// "00" to "99": two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the digits of value backwards so that they end just before at; returns their start.
char* DigitsBefore(char* at, uint64_t value) {
  while (value >= 100) {
    const size_t pair = static_cast<size_t>(value % 100) * 2;
    value /= 100;
    at -= 2;
    at[0] = kDigitPairs[pair];
    at[1] = kDigitPairs[pair + 1];
  }
  if (value >= 10) {
    at -= 2;
    at[0] = kDigitPairs[value * 2];
    at[1] = kDigitPairs[value * 2 + 1];
  } else {
    *--at = static_cast<char>('0' + value);
  }
  return at;
}

}  // namespace

char* WriteScaled(char* out, int64_t scaled, int decimals) {
  static constexpr uint64_t kUnits[] = {1, 10, 100, 1000, 10000, 100000};
  if (scaled == 0) {
    *out = '0';
    return out + 1;
  }
  const bool negative = scaled < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  // Written backwards from the end of a buffer: the fraction without its trailing zeros,
  // the point, the integer part, the sign; then copied in one piece.
  char text[32];
  char* at = text + sizeof text;
  const uint64_t unit = kUnits[decimals];
  uint64_t whole = magnitude, fraction = 0;
  if (unit > 1) {
    whole = magnitude / unit;
    fraction = magnitude % unit;
  }
  if (decimals == 2) {
    // Coordinates: one or two digits after the point, taken as a pair.
    if (fraction % 10 == 0) {
      fraction /= 10;
      if (fraction != 0) {
        *--at = static_cast<char>('0' + fraction);
        *--at = '.';
      }
    } else {
      at -= 3;
      at[0] = '.';
      at[1] = kDigitPairs[fraction * 2];
      at[2] = kDigitPairs[fraction * 2 + 1];
    }
  } else if (fraction != 0) {
    int digits = decimals;
    while (fraction % 10 == 0) {
      fraction /= 10;
      --digits;
    }
    char* start = DigitsBefore(at, fraction);
    while (at - start < digits) *--start = '0';
    at = start;
    *--at = '.';
  }
  at = DigitsBefore(at, whole);
  if (negative) *--at = '-';
  const size_t length = static_cast<size_t>(text + sizeof text - at);
  std::memcpy(out, at, length);
  return out + length;
}

void AppendNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  // Coordinates and colours: scaled to an integer and printed by hand, several times
  // faster than a general conversion, with the same digits up to the last one's rounding.
  static constexpr double kScales[] = {1, 10, 100, 1000, 10000, 100000};
  if (decimals >= 0 && decimals <= 5 && std::fabs(value) < 1e12) {
    // |value * scale| < 1e17, far inside the rounding's range.
    char text[32];
    char* end =
        WriteScaled(text, core::RoundHalfAwayFromZero(value * kScales[decimals]), decimals);
    out.append(text, static_cast<size_t>(end - text));
    return;
  }
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                    decimals);
  if (error != std::errc()) {
    out += '0';
    return;
  }
  char* last = end;
  if (decimals > 0) {
    while (last > text && last[-1] == '0') --last;
    if (last > text && last[-1] == '.') --last;
  }
  std::string_view number(text, static_cast<size_t>(last - text));
  if (number == "-0" || number.empty()) number = "0";
  out += number;
}

char* NumberCache::WriteNew(char* out, double value) {
  text_.clear();
  Append(text_, value);
  std::memcpy(out, text_.data(), text_.size());
  return out + text_.size();
}

void NumberCache::Append(std::string& out, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Entry& entry = entries_[SlotOf(bits)];
  if (entry.length != 0 && entry.bits == bits) {
    out.append(entry.text, entry.length);
    return;
  }
  const size_t start = out.size();
  AppendNumber(out, value, 2);
  const size_t length = out.size() - start;
  if (length <= sizeof entry.text) {
    entry.bits = bits;
    entry.length = static_cast<uint8_t>(length);
    std::memcpy(entry.text, out.data() + start, length);
  }
}

}  // namespace lgoty::render
