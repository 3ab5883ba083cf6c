// PreparedObjectRecycler: the memos and bands of rebuilt prepared pages kept for the next
// pages of a reader that rebuilds page after page (TfrxPageSequence), instead of freeing
// every memo and band of a page and making the same ones again for the next.
//
// A memo (or band) stored under an alias is rebuilt as a new object of its source copy's class, with
// the source copy's reference properties and then the page item's differences applied
// (TfrxPreviewPages::BuildObjects). A recycled memo must end up exactly as that new object
// would, so for every alias the recycler keeps a base: a new object with the reference
// properties applied and no parent. What a memo's last use changed beyond the base is
// known from the attribute names applied to it (its differences, and the references the
// reference text resolves on each page); before reuse exactly those are set back from the
// base:
//   l t w h and Left ...  the position and size
//   Text, Memo.Text, u, x the lines (and always when the base's lines hold a page
//                         marker, which drawing replaces and puts back)
//   Fill.*, FillType, Color, BrushStyle   the whole fill (a fill of another type too)
//   Frame.*               the whole frame
//   Font.*                nothing: the font of every reused memo is made again as a new
//                         object gets it (the parent's font when adopted, then the
//                         reference's font properties)
//   other plain values and references   through the property table
// A memo whose differences name anything else (nested formats and highlights, binary
// data, unknown names), that has children or whose reference text holds more than its
// text and references is not kept: it is freed as before.
//
// A band is kept the same way once its children have left it (they are taken back before
// it, or it holds some that are not kept, and then it is freed with them). Its lines, fill
// and frame are never restored: a band whose differences set any of them, whose reference
// gives it a fill (drawn by a hidden memo child made when it is loaded) or any text, is
// not kept.
//
// Threads: a recycler is used by one thread only; the trees it takes back must not have
// been changed by their reader other than in ways undone before (the export's drawing sets
// page markers into memo texts and puts the texts back).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/rtti.h"

namespace lgoty::report {

class ReferenceProperties;
class TfrxComponent;
class TfrxFont;
class TfrxReportPage;
class TfrxXMLSerializer;

class PreparedObjectRecycler {
 public:
  PreparedObjectRecycler();
  ~PreparedObjectRecycler();
  PreparedObjectRecycler(const PreparedObjectRecycler&) = delete;
  PreparedObjectRecycler& operator=(const PreparedObjectRecycler&) = delete;

  // A page starts being built: the objects kept or reused until EndPage belong to it.
  void BeginPage();
  // The page built since BeginPage; nullptr when building it failed (what was noted for it
  // is forgotten; its objects are freed with the partial tree).
  void EndPage(const TfrxReportPage* page);

  // The object for an item stored under the alias of source, taken from the ones kept and
  // set up as a new object would be: adopted by parent, reference properties, then
  // differences (references resolved below root) and the source's name. nullptr when none
  // is kept: the caller builds a new object and passes it to Keep.
  TfrxComponent* Reuse(const TfrxComponent& source, const ReferenceProperties& reference,
                       std::string_view differences, TfrxComponent& parent,
                       const TfrxComponent* root, TfrxXMLSerializer& serializer);
  // A new object built for the alias of source with these differences: it may be kept once
  // its page is recycled.
  void Keep(TfrxComponent& object, const TfrxComponent& source,
            const ReferenceProperties& reference, std::string_view differences,
            TfrxXMLSerializer& serializer);

  // Takes back the memos and bands of a page built since the last Clear that may be reused and frees
  // the rest of the tree.
  void Recycle(std::unique_ptr<TfrxReportPage> page);
  // Frees every kept object and base.
  void Clear();

  // Objects taken back and not yet reused; objects reused since the recycler was made.
  size_t KeptCount() const;
  size_t ReusedCount() const { return reused_; }

 private:
  enum class RestoreKind : uint8_t {
    kNothing,
    kLeft,
    kTop,
    kWidth,
    kHeight,
    kLines,
    kFill,
    kFrame,
    kPlain,
    kReference,
    kRefused,  // not restorable: the object is not kept
  };
  // How an attribute of the name is applied when it is set straight on the object: the
  // single letters and Text the store writes for every row, read as the serializer reads
  // them (ApplyOne) without looking the name up again, and references (a data band's data
  // set), which the serializer resolves on their own. Any other name goes through the
  // serializer with the rest.
  enum class DirectKind : uint8_t { kNone, kLeft, kTop, kWidth, kHeight, kText, kReference };
  struct Restore {
    RestoreKind kind = RestoreKind::kRefused;
    const core::PropInfo* prop = nullptr;  // kPlain, kReference: a property of the class
    DirectKind direct = DirectKind::kNone;
  };
  static constexpr size_t kMaxRestores = 6;
  struct Changes {
    uint8_t count = 0;
    bool refused = false;
    const Restore* restores[kMaxRestores] = {};
  };
  // The differences of an item as they are applied to a reused memo: when every one is
  // set straight (direct), in their order; otherwise the serializer applies the text.
  static constexpr size_t kMaxDirect = 8;
  // Pointers and sizes rather than views: made for every reused memo, the list is left
  // unset beyond count.
  struct DirectAttribute {
    DirectKind kind;
    const char* value;  // as stored (escaped)
    size_t value_size;
    const char* whole;  // name="value"
    size_t whole_size;
    std::string_view Value() const { return {value, value_size}; }
    std::string_view Whole() const { return {whole, whole_size}; }
  };
  struct Applying {
    bool direct = true;
    uint8_t count = 0;
    DirectAttribute attributes[kMaxDirect];
  };
  struct ReferenceAttribute {
    std::string name;
    std::string whole;  // name="value"
  };
  struct Alias {
    std::unique_ptr<TfrxComponent> base;
    bool recyclable = false;
    bool memo = false;  // the base is a memo; else a band
    // The base's lines hold a '[': the export's drawing may have set page markers into
    // them and put back a text that reads as other lines, so they are restored always.
    bool marker_lines = false;
    const core::PropInfo* font = nullptr;
    // The reference sets values in the font.
    bool font_copies = false;
    // The font the last reused object got (font_result) from its parent's (font_from).
    std::unique_ptr<TfrxFont> font_from;
    std::unique_ptr<TfrxFont> font_result;
    // The reference's references: applied again on every page, as their targets are.
    std::vector<ReferenceAttribute> references;
    // By attribute name, as met: an alias sees a handful of names, found by comparing
    // them in turn. A deque, as the changes noted point at its entries.
    struct NamedRestore {
      std::string name;
      Restore restore;
    };
    std::deque<NamedRestore> restores;
    struct Kept {
      std::unique_ptr<TfrxComponent> object;
      Changes changes;
    };
    std::vector<Kept> kept;
  };
  struct Noted {
    TfrxComponent* object;
    Alias* alias;
    Changes changes;
  };
  struct PageNotes {
    const TfrxReportPage* page = nullptr;
    std::vector<Noted> objects;
  };

  Alias& AliasOf(const TfrxComponent& source, const ReferenceProperties& reference,
                 TfrxXMLSerializer& serializer);
  const Restore& RestoreFor(Alias& alias, std::string_view name);
  // The restores the differences (and the references applied with them) call for; with
  // applying, also how the differences are applied.
  Changes ChangesOf(Alias& alias, std::string_view differences, Applying* applying = nullptr);
  static void ApplyDirect(const Applying& applying, TfrxComponent& object,
                          const TfrxComponent* root, TfrxXMLSerializer& serializer);
  void Reset(Alias& alias, TfrxComponent& object, const Changes& old_changes,
             const Changes& new_changes);

  std::unordered_map<const TfrxComponent*, Alias> aliases_;  // by source copy
  std::vector<PageNotes> pages_;                             // built, not yet recycled
  PageNotes building_;
  std::vector<std::vector<Noted>> spare_;                    // emptied note lists
  size_t reused_ = 0;
};

}  // namespace lgoty::report
