#include "folder/folder_lines.h"

#include <algorithm>

#include "options/command_line.h"
#include "outputs/number_text.h"

namespace brindlewick {
namespace {

constexpr std::size_t kVerdictColumn = 12;

void append_count(std::string& out, std::uint64_t n) {
  append_integer(out, static_cast<std::int64_t>(n));
}

}  // namespace

FolderTotals folder_totals(const FolderResult& result) noexcept {
  FolderTotals t;
  for (const PairResult& p : result.pairs) {
    ++t.pairs;
    switch (p.verdict) {
      case PairVerdict::kIdentical:
        ++t.identical;
        break;
      case PairVerdict::kDiffer:
        ++t.differ;
        break;
      case PairVerdict::kFailed:
        ++t.failed;
        break;
      case PairVerdict::kOnlyInDir1:
        ++t.only_in_dir1;
        break;
      case PairVerdict::kOnlyInDir2:
        ++t.only_in_dir2;
        break;
    }
  }
  return t;
}

std::string_view folder_verdict(const FolderTotals& t) noexcept {
  if (t.failed > 0) return "failed";
  return t.differ + t.only_in_dir1 + t.only_in_dir2 > 0 ? "differ" : "identical";
}

int folder_exit_status(const FolderTotals& t) noexcept {
  if (t.failed > 0) return 2;
  return t.differ + t.only_in_dir1 + t.only_in_dir2 > 0 ? 1 : 0;
}

std::string pair_line(const PairResult& pair) {
  std::string line(verdict_name(pair.verdict));
  line.resize(std::max(line.size(), kVerdictColumn), ' ');
  line.append("  ");
  append_printable(line, pair.path);
  if (pair.verdict == PairVerdict::kFailed) {
    line.append("  ");
    append_printable(line, pair.reason);
  } else if (pair.verdict == PairVerdict::kDiffer) {
    std::uint64_t cells = 0;
    double largest = 0.0;
    for (const VariableFigures& v : pair.variables) {
      cells += v.differing;
      largest = std::max(largest, v.max_abs);
    }
    line.append("  ");
    for (std::size_t i = 0; i < pair.categories.size(); ++i) {
      if (i > 0) line.append(",");
      append_printable(line, pair.categories[i]);
    }
    if (pair.categories.empty()) line.append("-");
    if (cells > 0) {
      line.append(": ");
      append_count(line, cells);
      line.append(cells == 1 ? " cell differs" : " cells differ");
      line.append(", largest difference ");
      append_shortest(line, largest);
    }
  }
  line.append("\n");
  return line;
}

std::string totals_line(const FolderTotals& t) {
  std::string line;
  append_count(line, t.pairs);
  line.append(t.pairs == 1 ? " pair: " : " pairs: ");
  append_count(line, t.identical);
  line.append(" identical, ");
  append_count(line, t.differ);
  line.append(" differ, ");
  append_count(line, t.failed);
  line.append(" failed, ");
  append_count(line, t.only_in_dir1);
  line.append(" only in dir1, ");
  append_count(line, t.only_in_dir2);
  line.append(" only in dir2\n");
  return line;
}

std::string progress_line(std::uint64_t done, std::uint64_t total, std::uint64_t differ) {
  std::string line = "\r";
  append_count(line, done);
  line.append(" of ");
  append_count(line, total);
  line.append(" pairs done, ");
  append_count(line, differ);
  line.append(" differ");
  return line;
}

}  // namespace brindlewick
