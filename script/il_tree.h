// The IL tree: what the grammar interpreter makes of a script and the program builder
// reads. It is an XML-shaped tree: elements named by the grammar ("dsgn", "expr",
// "ifstmt", ...), token elements carrying their text, each element carrying where it began
// (line and column, 1-based, column in characters) and its byte offsets in the source; an
// "expr" also knows where it ended (pos1 in the XML form) so that a macro function can be
// handed the source text of its argument. ToXml() writes the document form:
//   <?xml version="1.0"?><program><expr pos="1:5" pos1="1:9">...</expr>...</program>
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lgoty::script {

// The element kinds the builders act on, decoded once from the element name when the node
// is made (ASCII case-insensitive); every other name is kOther.
enum class IlKind : uint8_t {
  kOther,
  kAddr,
  kArray,
  kAssignStmt,
  kBreak,
  kCallStmt,
  kCaseSelector,
  kCaseStmt,
  kCompoundStmt,
  kConst,
  kContinue,
  kDim,
  kDownTo,
  kDsgn,
  kElseStmt,
  kExceptStmt,
  kExit,
  kExpr,
  kFinallyStmt,
  kForStmt,
  kFunction,
  kIdent,
  kIfStmt,
  kInit,
  kName,
  kNode,
  kNumber,
  kOp,
  kParameters,
  kProcedure,
  kProgram,
  kRange,
  kRepeatStmt,
  kSet,
  kString,
  kThenStmt,
  kTryStmt,
  kType,
  kTypes,
  kUses,
  kVar,
  kVarParams,
  kWhileStmt,
  kWith,
};

// The kind of an element name.
IlKind IlKindOf(std::string_view name);

struct IlNode {
  std::string name;
  IlKind kind = IlKind::kOther;  // decoded from name (Add, the naming constructor)
  std::string text;            // token text ("" for structural elements)
  std::string unit;            // "uses" elements of included units: the unit's name
  std::string unit_source;     // ... and the unit's text, which the offsets below them index
  int line = 0, column = 0;    // where the element began
  int end_line = 0, end_column = 0;
  int offset = 0, end_offset = 0;  // 0-based byte offsets of the source span
  std::vector<std::unique_ptr<IlNode>> children;

  IlNode() = default;
  explicit IlNode(std::string element_name);
  IlNode(const IlNode&) = delete;
  IlNode& operator=(const IlNode&) = delete;
  ~IlNode();

  IlNode* Add(std::string child_name);
  // The first child of the kind; nullptr when none.
  const IlNode* Find(IlKind child_kind) const;
  bool Is(IlKind k) const { return kind == k; }
  std::string Pos() const { return std::to_string(line) + ":" + std::to_string(column); }
};

// Writes the element and its subtree in the XML form above (attribute values escaped).
std::string IlToXml(const IlNode& node, bool with_declaration = true);

}  // namespace lgoty::script
