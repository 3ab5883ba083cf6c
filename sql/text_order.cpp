#include "sql/text_order.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <numeric>

namespace lgoty::sql {

std::string EncodeOrderTerms(const std::vector<TOrderTerm>& terms) {
  std::string out;
  for (const TOrderTerm& term : terms) {
    if (!out.empty()) out += ',';
    out += std::to_string(term.column);
    if (term.descending) out += 'd';
  }
  return out;
}

bool DecodeOrderTerms(std::string_view text, std::vector<TOrderTerm>& terms) {
  terms.clear();
  while (!text.empty()) {
    TOrderTerm term;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), term.column);
    if (error != std::errc() || term.column < 0) return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    if (!text.empty() && text.front() == 'd') {
      term.descending = true;
      text.remove_prefix(1);
    }
    terms.push_back(term);
    if (text.empty()) break;
    if (text.front() != ',' || text.size() == 1) return false;
    text.remove_prefix(1);
  }
  return !terms.empty();
}

void TOrderColumn::Add(std::string_view stored) {
  auto found = index_.find(stored);
  if (found == index_.end()) {
    found = index_.emplace(std::string(stored), static_cast<uint32_t>(stored_.size()) + 1).first;
    stored_.push_back(&found->first);
  }
  ids_.push_back(found->second);
}

std::vector<uint32_t> TOrderColumn::Ranks(
    const std::function<std::string(std::string_view)>& to_text,
    const std::function<int(std::string_view, std::string_view)>& compare) const {
  std::vector<std::string> texts;
  texts.reserve(stored_.size());
  for (const std::string* stored : stored_) texts.push_back(to_text(*stored));
  std::vector<uint32_t> sorted(stored_.size());
  std::iota(sorted.begin(), sorted.end(), 0u);
  // A merge sort: it never steps outside the range, whatever the comparison answers.
  std::stable_sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) {
    return compare(texts[a], texts[b]) < 0;
  });
  std::vector<uint32_t> rank_of(stored_.size() + 1, 0);  // by id; id 0 (NULL) keeps 0
  uint32_t rank = 0;
  for (size_t i = 0; i < sorted.size(); ++i) {
    if (i == 0 || compare(texts[sorted[i - 1]], texts[sorted[i]]) != 0) ++rank;
    rank_of[sorted[i] + 1] = rank;
  }
  std::vector<uint32_t> ranks(ids_.size());
  for (size_t row = 0; row < ids_.size(); ++row) ranks[row] = rank_of[ids_[row]];
  return ranks;
}

std::vector<uint32_t> OrderRowsByComparison(const std::vector<std::vector<uint32_t>>& ranks,
                                            const std::vector<bool>& descending, size_t rows) {
  std::vector<uint32_t> order(rows);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    for (size_t t = 0; t < ranks.size(); ++t) {
      const uint32_t x = ranks[t][a], y = ranks[t][b];
      if (x != y) return descending[t] ? x > y : x < y;
    }
    return false;
  });
  return order;
}

namespace {

// A row's ranks as one number: term after term from the most significant bits down, each in
// as many bits as its largest rank needs, a descending term's rank subtracted from that
// largest rank. Comparing two such numbers compares the ranks term by term, so sorting the
// (number, row) pairs gives the stable order. Returns the bits used, or -1 when the widths add
// up to more than 64.
int PackRanks(const std::vector<std::vector<uint32_t>>& ranks,
              const std::vector<bool>& descending, size_t rows, std::vector<uint64_t>& packed) {
  std::vector<uint32_t> largest(ranks.size(), 0);
  unsigned total_bits = 0;
  for (size_t t = 0; t < ranks.size(); ++t) {
    for (size_t row = 0; row < rows; ++row) largest[t] = std::max(largest[t], ranks[t][row]);
    total_bits += static_cast<unsigned>(std::bit_width(largest[t]));
  }
  if (total_bits > 64) return -1;
  packed.assign(rows, 0);
  for (size_t t = 0; t < ranks.size(); ++t) {
    const unsigned width = static_cast<unsigned>(std::bit_width(largest[t]));
    if (width == 0) continue;  // every row ranks 0 here: the term orders nothing
    const std::vector<uint32_t>& column = ranks[t];
    for (size_t row = 0; row < rows; ++row) {
      const uint32_t part = descending[t] ? largest[t] - column[row] : column[row];
      packed[row] = (packed[row] << width) | part;  // width <= 32, so the shift is defined
    }
  }
  return static_cast<int>(total_bits);
}

struct Keyed {
  uint64_t key;
  uint32_t row;
};

// Below this many rows a comparison sort is cheaper than the radix sort's counting tables.
constexpr size_t kRadixRows = 1024;
constexpr unsigned kDigitBits = 11;

// A least-significant-digit radix sort of keyed (in row order) over the low `bits` bits of
// the keys: each pass is stable, so rows of equal keys stay in row order.
void RadixSort(std::vector<Keyed>& keyed, unsigned bits) {
  std::vector<Keyed> other(keyed.size());
  std::vector<uint32_t> start(size_t{1} << kDigitBits);
  for (unsigned shift = 0; shift < bits; shift += kDigitBits) {
    constexpr uint64_t kMask = (uint64_t{1} << kDigitBits) - 1;
    std::fill(start.begin(), start.end(), 0u);
    for (const Keyed& k : keyed) ++start[(k.key >> shift) & kMask];
    uint32_t at = 0;
    for (uint32_t& count : start) {
      const uint32_t n = count;
      count = at;
      at += n;
    }
    for (const Keyed& k : keyed) other[start[(k.key >> shift) & kMask]++] = k;
    keyed.swap(other);
  }
}

}  // namespace

std::vector<uint32_t> OrderRows(const std::vector<std::vector<uint32_t>>& ranks,
                                const std::vector<bool>& descending, size_t rows) {
  std::vector<uint64_t> packed;
  const int bits = PackRanks(ranks, descending, rows, packed);
  if (bits < 0) {
    return OrderRowsByComparison(ranks, descending, rows);
  }
  std::vector<Keyed> keyed(rows);
  for (size_t row = 0; row < rows; ++row) keyed[row] = {packed[row], static_cast<uint32_t>(row)};
  if (rows >= kRadixRows) {
    RadixSort(keyed, static_cast<unsigned>(bits));
  } else {
    // The row breaks ties, so an unstable sort gives the stable order.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
      return a.key != b.key ? a.key < b.key : a.row < b.row;
    });
  }
  std::vector<uint32_t> order(rows);
  for (size_t i = 0; i < rows; ++i) order[i] = keyed[i].row;
  return order;
}

}  // namespace lgoty::sql
