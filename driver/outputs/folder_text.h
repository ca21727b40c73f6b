// The texts that the folder outputs (JUnit and the HTML page) share: a verdict's name, a cell's
// place, a figure, and text escaped for XML and HTML.
#ifndef BRINDLEWICK_FOLDER_TEXT_H
#define BRINDLEWICK_FOLDER_TEXT_H

#include <string>
#include <string_view>
#include <vector>

#include "folder/folder_result.h"

namespace brindlewick {

// "identical", "differ", "failed", "only_in_dir1", "only_in_dir2".
std::string_view verdict_name(PairVerdict verdict) noexcept;

// One line of a folder report: a variable of a pair, or the pair itself (`variable` null) when
// the pair was not compared, differs in more than its cells, or has no variables.
struct ReportEntry {
  const PairResult* pair = nullptr;
  const VariableFigures* variable = nullptr;
  std::string_view verdict;  // a verdict_name; "differ" for a variable with differing cells
  std::string categories;    // "cells" for such a variable; a pair's categories beyond the cells
  std::string note;          // for a pair: why it failed, where it lies, how it differs
  bool differs() const noexcept { return verdict != "identical"; }
};

// The entries of the run, pair by pair, a pair's own entry before its variables.
std::vector<ReportEntry> report_entries(const FolderResult& result);

// "2024033:010000, layer 1, column 10, row 3, lat 41.5, lon -100.5".
std::string place_text(const DifferencePlace& place);

// A figure in its shortest round-trip form ("0.5", "1e-07", "nan").
std::string figure_text(double v);

// The categories joined by ", ".
std::string categories_text(const std::vector<std::string>& categories);

// Text for XML or HTML content and attribute values: &, <, >, " and ' as references; control
// characters XML 1.0 cannot carry and bytes that are not UTF-8 as U+FFFD.
std::string xml_escaped(std::string_view text);

// Writes `text` to `path`; false with "Could not write WHAT \"PATH\"" in `error` when it cannot.
[[nodiscard]] bool write_text_file(const std::string& text, const std::string& path,
                                   std::string_view what, std::string& error);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_TEXT_H
