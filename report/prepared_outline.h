// TfrxOutline: the table of contents of a prepared report, a cursor over the "outline"
// element of the store's XML. Each entry is
//   <item text="Chapter" page="0" top="120"> ...nested entries... </item>
// with the 0-based page index and the Y position in pixels on that page.
#pragma once

#include <string>
#include <string_view>

namespace lgoty::core {
class TfrxXMLItem;
}

namespace lgoty::report {

class TfrxOutline {
 public:
  struct Entry {
    std::string text;
    int page = 0;
    int top = 0;
  };

  // The outline element (the root of the tree) and where new entries take their page.
  // REQUIRES root outlives the cursor's use (the store re-binds it after Clear and loads).
  void Bind(core::TfrxXMLItem* root) { root_ = current_ = root; }
  void SetCurrentPage(int page) { current_page_ = page; }

  // Appends an entry under the cursor with the current page and moves the cursor onto it.
  void AddItem(std::string_view text, int top);
  // Moves the cursor to its child at index (nothing for an index out of range).
  void LevelDown(int index);
  // Moves the cursor to its parent unless it is at the root.
  void LevelUp();
  void LevelRoot();
  // Children of the cursor.
  int Count() const;
  // The cursor's child at index; an empty entry for an index out of range.
  Entry GetItem(int index) const;
  // The cursor's last child (where a pass or a band started); nullptr when it has none.
  core::TfrxXMLItem* CurPosition() const;
  // Where entries are being added now: the cursor and how many children it has.
  struct Mark {
    core::TfrxXMLItem* parent = nullptr;
    int count = 0;
  };
  Mark GetMark() const { return Mark{current_, Count()}; }
  // Moves the entries added under mark.parent since the mark, with their subtrees, onto the
  // current page, shifting every top by new_top minus the first moved entry's top (output
  // kept together that moves to a new page takes its entries along).
  void MoveSince(const Mark& mark, int new_top);
  // Moves the entry after from (its next sibling) and its subtree one page down, shifting
  // every top by new_top minus that sibling's top. Nothing when from has no next sibling.
  void ShiftItems(core::TfrxXMLItem* from, int new_top);

  core::TfrxXMLItem* Root() const { return root_; }
  core::TfrxXMLItem* Current() const { return current_; }

 private:
  core::TfrxXMLItem* root_ = nullptr;
  core::TfrxXMLItem* current_ = nullptr;
  int current_page_ = 0;
};

}  // namespace lgoty::report
