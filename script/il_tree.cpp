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

IlNode* IlNode::Add(std::string child_name) {
  children.push_back(std::make_unique<IlNode>());
  children.back()->name = std::move(child_name);
  return children.back().get();
}

bool IlNode::Is(std::string_view n) const {
  return name.size() == n.size() && UpperAscii(name) == UpperAscii(n);
}

const IlNode* IlNode::Find(std::string_view child_name) const {
  for (const auto& c : children) {
    if (c->Is(child_name)) return c.get();
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
  if (n.Is("expr")) {
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
