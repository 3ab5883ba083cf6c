// An ordered list of strings with optional associated objects, as templates, queries and
// scripts share it: lines joined with CR LF, name=value lines, a sorted mode without
// duplicates, and a change notification.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"

namespace lgoty::core {

enum class Duplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TObject {
 public:
  TStringList() = default;
  const char* ClassName() const override { return "TStringList"; }

  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES 0 <= index < Count(), else EListError "List index out of bounds (%d)".
  const std::string& Get(int index) const;
  void Put(int index, std::string value);
  TObject* GetObject(int index) const;
  void PutObject(int index, TObject* object);
  const std::string& operator[](int index) const { return Get(index); }

  // Add returns the index the string got (its sorted place in sorted mode; the existing
  // index for a duplicate with dupIgnore; EListError "String list does not allow
  // duplicates" with dupError). Duplicates are looked for only in sorted mode; an unsorted
  // list keeps whatever is added. With dupAccept a new line goes before its equals.
  int Add(std::string value);
  int AddObject(std::string value, TObject* object);
  // Insert, Put, Exchange and Move would break the order, so sorted mode refuses them:
  // EListError "Operation not allowed on sorted list". Insert takes 0 <= index <= Count().
  void Insert(int index, std::string value);
  void Delete(int index);
  void Clear();
  void Exchange(int a, int b);
  void Move(int from, int to);
  void Assign(const TStringList& other);
  void AddStrings(const TStringList& other);

  // Case-insensitive (locale) unless CaseSensitive; -1 when absent. Binary search in
  // sorted mode.
  int IndexOf(std::string_view value) const;
  // Sorted mode: true and the index of the first equal line when found; false and the
  // insertion place otherwise. An unsorted list is scanned (the place is then Count()).
  bool Find(std::string_view value, int& index) const;

  // name=value lines (the name ends at the first "="; a line without one has no name).
  // Names compare like the lines (case-insensitively unless CaseSensitive); Values[name] of
  // a missing name is "", and setting it to "" deletes the line. In sorted mode a changed
  // line is deleted and added again at its sorted place.
  int IndexOfName(std::string_view name) const;
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  std::string Values(std::string_view name) const;
  void SetValue(std::string_view name, std::string_view value);

  // Lines joined with CR LF, each line followed by one (so a single line "a" gives "a\r\n";
  // an empty list gives ""). Setting splits at CR LF, CR or LF; a final line break does not
  // make an empty last line.
  std::string Text() const;
  void SetText(std::string_view text);
  // Text into `out` (its storage reused); whether Text would equal `text`, without building it.
  void TextTo(std::string& out) const;
  bool TextEquals(std::string_view text) const;
  // Whether the lines joined by CR LF, without one after the last (Text less its final line
  // break, as a memo's text reads), equal `text`; compared line by line, without joining.
  bool JoinedEquals(std::string_view text) const;
  // That joined text into `out` (its storage reused): Text less its final line break.
  void JoinedTo(std::string& out) const;

  // Keeping and putting back a list's lines without going through its text (which would
  // split a line holding a line break of its own and drop the lines' objects):
  // CopyLinesFrom makes this list's lines and objects those of `other`, reusing the
  // storage of the lines it has; SameLines compares lines and objects in order; SwapLines
  // exchanges the two lists' lines and objects in constant time. Each list whose lines
  // change gets one change notice. The lists' own settings (sorted mode, duplicates, case)
  // stay as they are, so neither list may be sorted (EListError "Operation not allowed on
  // sorted list").
  void CopyLinesFrom(const TStringList& other);
  bool SameLines(const TStringList& other) const;
  void SwapLines(TStringList& other);
  // Comma-separated, lines with blanks, control characters, commas or quotes in double
  // quotes (a quote inside doubled); a single empty line is written "". Reading splits at
  // commas and at unquoted blanks, and a final comma adds an empty last line.
  std::string CommaText() const;
  void SetCommaText(std::string_view text);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool value);
  Duplicates GetDuplicates() const { return duplicates_; }
  void SetDuplicates(Duplicates d) { duplicates_ = d; }
  void Sort();

  // Called after every change (OnChange); BeginUpdate/EndUpdate hold it back and EndUpdate
  // calls it once if anything changed.
  std::function<void()> OnChange;
  void BeginUpdate();
  void EndUpdate();

 private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
  };
  int Compare(std::string_view a, std::string_view b) const;
  void Changed();
  void CheckIndex(int index) const;

  std::vector<Item> items_;
  bool sorted_ = false;
  bool case_sensitive_ = false;
  Duplicates duplicates_ = Duplicates::dupIgnore;
  int update_count_ = 0;
  bool changed_while_updating_ = false;
};

}  // namespace lgoty::core
