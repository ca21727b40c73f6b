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

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_READ_H
