#include "script/il_tree.h"

#include "script/parser.h"

namespace lgoty::script {

IlNode::~IlNode() {
  // Deep trees are freed without deep recursion: children are moved onto a work list.
  std::vector<std::unique_ptr<IlNode>> pending;
  for (auto& c : children) {
    if (c) pending.push_back(std::move(c));
  }
  children.clear();
  while (!pending.empty()) {
    std::unique_ptr<IlNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& c : node->children) {
      if (c) pending.push_back(std::move(c));
    }
    node->children.clear();
  }
}

IlKind IlKindOf(std::string_view name) {
  struct Entry {
    std::string_view name;
    IlKind kind;
  };
  static constexpr Entry kKinds[] = {
      {"addr", IlKind::kAddr},
      {"array", IlKind::kArray},
      {"assignstmt", IlKind::kAssignStmt},
      {"break", IlKind::kBreak},
      {"callstmt", IlKind::kCallStmt},
      {"caseselector", IlKind::kCaseSelector},
      {"casestmt", IlKind::kCaseStmt},
      {"compoundstmt", IlKind::kCompoundStmt},
      {"const", IlKind::kConst},
      {"continue", IlKind::kContinue},
      {"dim", IlKind::kDim},
      {"downto", IlKind::kDownTo},
      {"dsgn", IlKind::kDsgn},
      {"elsestmt", IlKind::kElseStmt},
      {"exceptstmt", IlKind::kExceptStmt},
      {"exit", IlKind::kExit},
      {"expr", IlKind::kExpr},
      {"finallystmt", IlKind::kFinallyStmt},
      {"forstmt", IlKind::kForStmt},
      {"function", IlKind::kFunction},
      {"ident", IlKind::kIdent},
      {"ifstmt", IlKind::kIfStmt},
      {"init", IlKind::kInit},
      {"name", IlKind::kName},
      {"node", IlKind::kNode},
      {"number", IlKind::kNumber},
      {"op", IlKind::kOp},
      {"parameters", IlKind::kParameters},
      {"procedure", IlKind::kProcedure},
      {"program", IlKind::kProgram},
      {"range", IlKind::kRange},
      {"repeatstmt", IlKind::kRepeatStmt},
      {"set", IlKind::kSet},
      {"string", IlKind::kString},
      {"thenstmt", IlKind::kThenStmt},
      {"trystmt", IlKind::kTryStmt},
      {"type", IlKind::kType},
      {"types", IlKind::kTypes},
      {"uses", IlKind::kUses},
      {"var", IlKind::kVar},
      {"varparams", IlKind::kVarParams},
      {"whilestmt", IlKind::kWhileStmt},
      {"with", IlKind::kWith},
  };
  for (const Entry& e : kKinds) {
    if (core::AsciiSameText(e.name, name)) return e.kind;
  }
  return IlKind::kOther;
}

IlNode::IlNode(std::string element_name)
    : name(std::move(element_name)), kind(IlKindOf(name)) {}

IlNode* IlNode::Add(std::string child_name) {
  children.push_back(std::make_unique<IlNode>(std::move(child_name)));
  return children.back().get();
}

const IlNode* IlNode::Find(IlKind child_kind) const {
  for (const auto& c : children) {
    if (c->kind == child_kind) return c.get();
  }
  return nullptr;
}


namespace {

std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
  return out;
}

void Write(const IlNode& n, std::string& out) {
  out += "<" + n.name + " pos=\"" + n.Pos() + "\"";
  if (n.Is(IlKind::kExpr)) {
    out += " pos1=\"" + std::to_string(n.end_line) + ":" + std::to_string(n.end_column) + "\"";
  }
  if (!n.text.empty()) out += " text=\"" + Escape(n.text) + "\"";
  if (!n.unit.empty()) out += " unit=\"" + Escape(n.unit) + "\"";
  if (n.children.empty()) {
    out += "/>";
    return;
  }
  out += ">";
  for (const auto& c : n.children) Write(*c, out);
  out += "</" + n.name + ">";
}

}  // namespace

std::string IlToXml(const IlNode& node, bool with_declaration) {
  std::string out = with_declaration ? "<?xml version=\"1.0\"?>" : "";
  Write(node, out);
  return out;
}

}  // namespace lgoty::script
