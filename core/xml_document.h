// The XML dialect of report templates and prepared reports.
//
// It is not general XML: no namespaces, no CDATA, no entity declarations; character data
// between tags is written (TfrxXMLItem::Value) but never read back; the attribute text of a
// start tag is kept raw and escaped (TfrxXMLItem::Text) and parsed only when somebody asks
// for an attribute. Text is bytes: the document never converts code pages (callers decide
// whether an attribute is UTF-8 or in the ANSI code page).
//
// File layout:
//   <?xml version="1.0" encoding="utf-8"?>      header; must be the first tag
//   <Root attributes>                           the root item
//     <Child attributes/>                       childless item
//     <Child attributes>Value</Child>           childless item with character data
//     <Child attributes ld="0">...</Child>      item that may be swapped out
//   </Root>
//
// Reading rules (TfrxXMLReader):
//   - The header decides OldVersion: true when its version is "1.0" and it has no
//     standalone= attribute (the header this system writes), false otherwise. Readers of
//     string attributes decode UTF-8 only when OldVersion is false.
//   - "<!--" starts a comment that ends at the first '>' preceded by exactly two dashes.
//   - One trailing blank of a tag is dropped; the tag splits at its first blank into Name
//     and Text. A Name or Text ending in '/' is an empty element. An end tag must match its
//     start tag ignoring letter case.
//   - Malformed input throws TfrxInvalidXMLException("Invalid file format").
// Writing rules (TfrxXMLWriter): the header above, items depth first; with AutoIndent every
// line ends in CR LF and a tag line is indented by two blanks per level.
//
// Swapping: an item marked Unloadable can have its children written to a temporary stream and
// dropped (SwapOut), and read back later (SwapIn). Prepared reports use it to keep only a
// few pages in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "core/stream.h"

namespace lgoty::core {

class TfrxInvalidXMLException : public Exception {
 public:
  TfrxInvalidXMLException() : Exception("Invalid file format") {}
  const char* ClassName() const noexcept override { return "TfrxInvalidXMLException"; }
};

// Text to XML attribute text. The special bytes 0, LF, CR, '"', '&', '<', '>' become
// "&#code;"; the sequence "&quot;" becomes "&#34;". Values shorter than 32 bytes keep a
// lone '&' as it is; longer ones write it as "&#38;" and a zero byte as a blank.
std::string StrToXML(std::string_view text);
// XML attribute text to text: "&#n;" (decimal), "&quot;", "&amp;", "&lt;", "&gt;"; any
// other '&' stays. A non-numeric "&#x;" throws EConvertError; "&#" without a closing ';'
// stays as it is; a code above 255 gives '?' (a value is a byte string).
std::string XMLToStr(std::string_view text);

// What TfrxXMLItem::FindRemembered found last: the name asked for, the names of the children
// up to and including the one found (as they were then) and the collation language it was
// found under. Empty: nothing remembered.
struct TfrxFoundChild {
  std::string name;
  std::vector<std::string> names;
  uint64_t collation = 0;
};

class TfrxXMLItem {
 public:
  TfrxXMLItem() = default;
  TfrxXMLItem(const TfrxXMLItem&) = delete;
  TfrxXMLItem& operator=(const TfrxXMLItem&) = delete;
  ~TfrxXMLItem();

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // The raw, still escaped attribute text.
  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  std::string& MutableText() { return text_; }
  // Character data between the tags; written, never read.
  const std::string& Value() const { return value_; }
  void SetValue(std::string value) { value_ = std::move(value); }

  TfrxXMLItem* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES 0 <= index < Count().
  TfrxXMLItem* operator[](int index) const { return items_[index].get(); }
  TfrxXMLItem* Items(int index) const { return items_[index].get(); }

  TfrxXMLItem* Add();
  // Moves an item that another parent (or this one) owns to the end or to a position;
  // returns it, or nullptr (nothing done) when item has no parent or is this item or one
  // of its ancestors. A free item is handed over as a unique_ptr instead.
  TfrxXMLItem* AddItem(TfrxXMLItem* item);
  TfrxXMLItem* AddItem(std::unique_ptr<TfrxXMLItem> item);
  TfrxXMLItem* InsertItem(int index, TfrxXMLItem* item);
  int IndexOf(const TfrxXMLItem* item) const;
  // Index of the first child named name (case-insensitive); -1 when none.
  int Find(std::string_view name) const;
  // Find, answered from memo without comparing by collation while the children up to the one
  // found last still carry those names byte for byte under the same collation language: the
  // first match depends on nothing else. For a child looked up again and again.
  int FindRemembered(std::string_view name, TfrxFoundChild& memo) const;
  // That child, or a new child named name.
  TfrxXMLItem* FindItem(std::string_view name);
  // Detaches a child and hands it over.
  std::unique_ptr<TfrxXMLItem> Release(TfrxXMLItem* child);
  // Frees a child (and its subtree).
  void Delete(TfrxXMLItem* child) { Release(child); }
  void Clear();

  // The unescaped value of attribute name ("" when absent); ASCII case-insensitive.
  std::string Attribute(std::string_view name) const;
  bool HasAttribute(std::string_view name) const;
  // Replaces the attribute in place or appends it; value is escaped.
  void SetAttribute(std::string_view name, std::string_view value);

  bool Loaded() const { return loaded_; }
  bool Unloadable() const { return unloadable_; }
  void SetUnloadable(bool value) { unloadable_ = value; }
  // Position of the item's start tag in the document's temporary stream.
  int64_t Offset() const { return offset_; }

 private:
  friend class TfrxXMLDocument;
  friend class TfrxXMLReader;
  friend class TfrxXMLWriter;
  // Position of " NAME=\"" in Text (upper-cased search); npos when absent.
  size_t FindAttribute(std::string_view name) const;

  std::string name_;
  std::string text_;
  std::string value_;
  TfrxXMLItem* parent_ = nullptr;
  std::vector<std::unique_ptr<TfrxXMLItem>> items_;
  bool loaded_ = true;
  bool unloadable_ = false;
  int64_t offset_ = 0;
};

class TfrxXMLDocument {
 public:
  TfrxXMLDocument();
  ~TfrxXMLDocument();
  TfrxXMLDocument(const TfrxXMLDocument&) = delete;
  TfrxXMLDocument& operator=(const TfrxXMLDocument&) = delete;

  TfrxXMLItem* Root() { return root_.get(); }
  bool AutoIndent() const { return auto_indent_; }
  void SetAutoIndent(bool value) { auto_indent_ = value; }
  bool OldVersion() const { return old_version_; }
  const std::string& TempDir() const { return temp_dir_; }
  void SetTempDir(std::string dir) { temp_dir_ = std::move(dir); }

  // Frees the root's children and closes (and deletes) the temporary file.
  void Clear();
  // Reads from the stream's position. With allow_swapping, unloadable items are left
  // unloaded and the stream becomes the temporary stream: it must then outlive the
  // document (or the next Clear/LoadFromStream).
  void LoadFromStream(TStream& stream, bool allow_swapping = false);
  // The same, with the document owning the stream: with allow_swapping it stays the
  // temporary stream (later swaps append to it) until Clear or destruction.
  void LoadFromStream(std::unique_ptr<TStream> stream, bool allow_swapping);
  // Files are read and written by the callers (through platform/), which hand the document
  // a stream over the file's bytes.
  void SaveToStream(TStream& stream);

  // Makes the temporary stream, given TempDir, when the first item is swapped out: the
  // report layer makes a file there through platform/. Without a factory the swapped items
  // are kept in a memory stream.
  using TempStreamFactory = std::function<std::unique_ptr<TStream>(const std::string& dir)>;
  void SetTempStreamFactory(TempStreamFactory factory) { temp_factory_ = std::move(factory); }
  bool HasTempStream() const { return temp_stream_ != nullptr; }

  // REQUIRES item->Unloadable(). SwapOut writes a loaded item to the end of the temporary
  // file and drops its children; SwapIn reads them back.
  void SwapOut(TfrxXMLItem* item);
  void SwapIn(TfrxXMLItem* item);

 private:
  friend class TfrxXMLWriter;
  TStream& TempStream();
  void CloseTemp();

  std::unique_ptr<TfrxXMLItem> root_;
  bool auto_indent_ = false;
  bool old_version_ = true;
  std::string temp_dir_;
  TempStreamFactory temp_factory_;
  std::unique_ptr<TStream> owned_temp_;   // the temporary stream we made (or a loaded file)
  TStream* temp_stream_ = nullptr;        // owned_temp_ or the caller's stream
};

}  // namespace lgoty::core
