// lgoty-dbf: the table engine on the command line. JSON out, one object per line; errors go
// to standard error with the engine's message and a non-zero exit status.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "dbf/language_drivers.h"
#include "tools/lgoty_dbf/commands.h"
#include "tools/lgoty_dbf/dataset_commands.h"
#include "tools/lgoty_dbf/index_commands.h"

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: lgoty-dbf info FILE\n"
    "       lgoty-dbf dump FILE [--deleted] [--raw]\n"
    "       lgoty-dbf sum FILE FIELD\n"
    "       lgoty-dbf create FILE --level 3|4|7|25 [--ldid 0x65] [--overwrite] "
    "NAME:LETTER:LEN[:DEC]...\n"
    "                                          (no --ldid at level 3: it has no driver byte)\n"
    "       lgoty-dbf append FILE [--shared] [--raw] [--truncate]   (JSON objects on "
    "standard input)\n"
    "       lgoty-dbf set FILE RECNO NAME=VALUE... [--shared] [--raw] [--truncate]\n"
    "       lgoty-dbf delete FILE RECNO [--shared]\n"
    "       lgoty-dbf index FILE --tag NAME --expr EXPR [--unique|--distinct] [--descending]\n"
    "       lgoty-dbf index FILE --drop NAME\n"
    "       lgoty-dbf dump FILE --index NAME [--from KEY] [--to KEY]\n"
    "       lgoty-dbf dump FILE --filter EXPR [--show-deleted] [--case-insensitive] "
    "[--no-partial]\n"
    "       lgoty-dbf locate FILE FIELDS VALUES [--partial] [--case-insensitive] "
    "[--index NAME]   (exit 1: not found)\n"
    "       lgoty-dbf seek FILE --index NAME KEY [--partial]   (exit 1: not found)\n"
    "       lgoty-dbf check FILE                               (exit 1: problems)\n"
    "       lgoty-dbf --help | -h\n"
    "options for every command:\n"
    "  --code-page N   text of tables without a language driver byte is in code page N\n"
    "                  (default: the system's ANSI code page)\n"
    "  --truncate      append, set: store what fits of a value too long or too precise for\n"
    "                  its field, '?' for characters the code page lacks (default: refuse)\n";

struct UsageError {
  std::string message;
};

// Splits arguments into options (and their values) and positional words.
struct Arguments {
  std::vector<std::string> words;
  bool shared = false;
  bool raw = false;
  bool deleted = false;
  bool overwrite = false;
  bool help = false;
  bool truncate = false;
  std::string code_page;
  std::string level;
  std::string ldid;
  // index commands
  std::string tag, expr, drop, index, filter;
  std::optional<std::string> from, to;
  bool unique = false, distinct = false, descending = false, partial = false;
  // dataset commands
  bool case_insensitive = false, no_partial = false;
};

Arguments Parse(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw UsageError{a + " needs a value"};
      return argv[++i];
    };
    if (a == "--help" || a == "-h") args.help = true;
    else if (a == "--shared") args.shared = true;
    else if (a == "--truncate") args.truncate = true;
    else if (a == "--code-page") args.code_page = value();
    else if (a == "--raw") args.raw = true;
    else if (a == "--deleted" || a == "--show-deleted") args.deleted = true;
    else if (a == "--case-insensitive") args.case_insensitive = true;
    else if (a == "--no-partial") args.no_partial = true;
    else if (a == "--overwrite") args.overwrite = true;
    else if (a == "--level") args.level = value();
    else if (a == "--ldid") args.ldid = value();
    else if (a == "--tag") args.tag = value();
    else if (a == "--expr") args.expr = value();
    else if (a == "--drop") args.drop = value();
    else if (a == "--index") args.index = value();
    else if (a == "--filter") args.filter = value();
    else if (a == "--from") args.from = value();
    else if (a == "--to") args.to = value();
    else if (a == "--unique") args.unique = true;
    else if (a == "--distinct") args.distinct = true;
    else if (a == "--descending") args.descending = true;
    else if (a == "--partial") args.partial = true;
    else if (a.size() > 2 && a.compare(0, 2, "--") == 0) throw UsageError{"unknown option " + a};
    else args.words.push_back(a);
  }
  return args;
}

unsigned long ParseUnsigned(const std::string& text, unsigned long max, const char* what) {
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || value > max || text[0] == '-')
    throw UsageError{std::string("bad ") + what + " \"" + text + "\""};
  return value;
}

void Need(const Arguments& args, size_t min, size_t max) {
  if (args.words.size() < min || args.words.size() > max) throw UsageError{"wrong arguments"};
}

int Run(int argc, char** argv) {
  using namespace lgoty::tools;
  const Arguments args = Parse(argc, argv);
  if (args.help) {
    std::cout << kUsage;
    std::cout.flush();
    return std::cout ? 0 : kExitError;
  }
  if (args.words.empty()) throw UsageError{"no command"};
  if (!args.code_page.empty()) {
    const int code_page = static_cast<int>(ParseUnsigned(args.code_page, 65535, "code page"));
    if (lgoty::core::FindCodePage(code_page) == nullptr)
      throw UsageError{"code page " + args.code_page + " is not known"};
    lgoty::dbf::SetDefaultCodePage(code_page);
  }
  const std::string& command = args.words[0];
  TableOptions options;
  options.shared = args.shared;
  options.raw = args.raw;
  options.truncate = args.truncate;
  DatasetView view;
  view.index = args.index;
  view.filter = args.filter;
  view.case_insensitive = args.case_insensitive;
  view.no_partial_compare = args.no_partial;
  view.show_deleted = args.deleted;
  view.raw = args.raw;
  if (command == "info") {
    Need(args, 2, 2);
    InfoCommand(args.words[1], std::cout);
  } else if (command == "dump" && !args.index.empty() && (args.from || args.to)) {
    Need(args, 2, 2);
    DumpIndexCommand(args.words[1], args.index, args.from, args.to, args.raw, std::cout);
  } else if (command == "dump" && (!args.index.empty() || !args.filter.empty())) {
    // In an index order and through filters the table dataset decides what is shown.
    Need(args, 2, 2);
    DumpDatasetCommand(args.words[1], view, std::cout);
  } else if (command == "locate") {
    Need(args, 4, 4);
    const bool found = LocateCommand(args.words[1], args.words[2], args.words[3], args.partial,
                                     args.case_insensitive, view, std::cout);
    std::cout.flush();
    if (!found) return kExitError;
  } else if (command == "index") {
    Need(args, 2, 2);
    if (!args.drop.empty()) {
      DropIndexCommand(args.words[1], args.drop, std::cout);
    } else {
      if (args.tag.empty() || args.expr.empty()) throw UsageError{"index needs --tag and --expr"};
      if (args.unique && args.distinct) throw UsageError{"--unique and --distinct exclude each other"};
      IndexSpec desc;
      desc.name = args.tag;
      desc.expression = args.expr;
      desc.kind = args.distinct ? lgoty::dbf::TIndexKind::ikDistinct
                  : args.unique ? lgoty::dbf::TIndexKind::ikUnique
                                : lgoty::dbf::TIndexKind::ikNone;
      desc.descending = args.descending;
      IndexCommand(args.words[1], desc, std::cout);
    }
  } else if (command == "seek") {
    Need(args, 3, 3);
    if (args.index.empty()) throw UsageError{"seek needs --index"};
    const bool found =
        SeekCommand(args.words[1], args.index, args.words[2], args.partial, args.raw, std::cout);
    std::cout.flush();
    if (!found) return kExitError;
  } else if (command == "check") {
    Need(args, 2, 2);
    const bool sound = CheckCommand(args.words[1], std::cout);
    std::cout.flush();
    if (!sound) return kExitError;
  } else if (command == "dump") {
    Need(args, 2, 2);
    DumpCommand(args.words[1], args.deleted, options, std::cout);
  } else if (command == "sum") {
    Need(args, 3, 3);
    SumCommand(args.words[1], args.words[2], std::cout);
  } else if (command == "create") {
    if (args.words.size() < 3 || args.level.empty()) throw UsageError{"create needs --level and fields"};
    const int level = static_cast<int>(ParseUnsigned(args.level, 99, "level"));
    const uint8_t ldid =
        args.ldid.empty() ? 0 : static_cast<uint8_t>(ParseUnsigned(args.ldid, 255, "LDID"));
    if (level == 3 && ldid != 0)
      throw UsageError{"a level-3 table has no language driver byte; --ldid needs level 4, 7 "
                       "or 25 (--code-page N reads a level-3 table's text in code page N)"};
    std::vector<FieldSpec> fields;
    for (size_t i = 2; i < args.words.size(); ++i) fields.push_back(ParseFieldSpec(args.words[i]));
    CreateCommand(args.words[1], level, ldid, fields, args.overwrite, std::cout);
  } else if (command == "append") {
    Need(args, 2, 2);
    AppendCommand(args.words[1], std::cin, options, std::cout);
  } else if (command == "set") {
    if (args.words.size() < 4) throw UsageError{"set needs FILE RECNO NAME=VALUE..."};
    const auto recno = static_cast<uint32_t>(ParseUnsigned(args.words[2], UINT32_MAX, "record number"));
    std::vector<std::pair<std::string, std::string>> assignments;
    for (size_t i = 3; i < args.words.size(); ++i) {
      const size_t eq = args.words[i].find('=');
      if (eq == std::string::npos || eq == 0) throw UsageError{"expected NAME=VALUE: " + args.words[i]};
      assignments.emplace_back(args.words[i].substr(0, eq), args.words[i].substr(eq + 1));
    }
    SetCommand(args.words[1], recno, assignments, options, std::cout);
  } else if (command == "delete") {
    Need(args, 3, 3);
    const auto recno = static_cast<uint32_t>(ParseUnsigned(args.words[2], UINT32_MAX, "record number"));
    DeleteCommand(args.words[1], recno, options, std::cout);
  } else {
    throw UsageError{"unknown command " + command};
  }
  std::cout.flush();
  return std::cout ? 0 : kExitError;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return Run(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << "lgoty-dbf: " << e.message << "\n" << kUsage;
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << e.what() << "\n";
    return kExitError;
  }
}
