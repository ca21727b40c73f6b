// A pair's own JSON document (what the single-pair run writes with BRINDLEWICK_JSON) read into
// the folder run's summary of the pair. The one place that knows the document's keys: newer
// keys ("categories", a variable's "series" of per-step figures, its "tolerance" and "margin",
// "schema_version") are read when present and not required.
#ifndef BRINDLEWICK_FOLDER_READ_H
#define BRINDLEWICK_FOLDER_READ_H

#include <string>
#include <string_view>

#include "folder/folder_result.h"

namespace brindlewick {

// Fills PAIR's verdict, categories, reason and variables from TEXT (per-step figures are kept
// for differing variables only); keeps TEXT itself, without its line breaks, in pair_json
// when KEEP_TEXT. False with ERROR when TEXT is no pair document.
[[nodiscard]] bool read_pair_document(std::string_view text, bool keep_text, PairResult& pair,
                                      std::string& error);

// Moves PAIR's pair_json to RESULT's documents (made on first use), noting where it lies. False
// with ERROR when it cannot be written there.
[[nodiscard]] bool set_aside_document(FolderResult& result, PairResult& pair, std::string& error);

// PAIR's own document: its pair_json, or what was set aside; empty when none was kept or it
// cannot be read back.
std::string pair_document(const FolderResult& result, const PairResult& pair);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_READ_H
