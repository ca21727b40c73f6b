// The folder run as one self-contained HTML page that opens offline: a summary table with one
// row per pair and variable (verdict, categories, cells compared and differing, the largest
// difference and where it lies, the RMS difference, the margin against the tolerance),
// differing rows first and sortable by a click on a column's header (or by the address's
// "#sort=KEY" / "#sort=-KEY"); then, for each differing variable, its difference map (the PNG
// inlined as a data: address) and an inline SVG plot of its largest and RMS difference per
// step. Each row carries its figures as data- attributes, and the page's script sets
// data-images-loaded="N/M" on the body once every picture has loaded or failed.
#ifndef BRINDLEWICK_HTML_REPORT_H
#define BRINDLEWICK_HTML_REPORT_H

#include <string>

#include "folder/folder_result.h"

namespace brindlewick {

// The page. Pure: `maps` holds the bytes of each differing variable's PNG in the order of the
// pairs and their variables (an empty string where a variable has none).
std::string html_text(const FolderResult& result, const std::vector<std::string>& maps);

// Reads the maps VariableFigures::map_png names and writes the page to `path`. False with
// `error` set when a map cannot be read or the page cannot be written.
[[nodiscard]] bool write_html(const FolderResult& result, const std::string& path,
                              std::string& error);

// RFC 4648 base64 of `bytes`, padded.
std::string base64(std::string_view bytes);

}  // namespace brindlewick

#endif  // BRINDLEWICK_HTML_REPORT_H
