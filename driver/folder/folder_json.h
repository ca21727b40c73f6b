// The folder run's JSON document (--json PATH): the two folders, the verdict, the totals and
// every pair, one a line, with its own single-pair document under "result" (null for a pair
// not compared, or one whose document was not kept). Written piece by piece: the whole
// document is never held.
#ifndef BRINDLEWICK_FOLDER_JSON_H
#define BRINDLEWICK_FOLDER_JSON_H

#include <string>
#include <string_view>

#include "folder/folder_result.h"

namespace brindlewick {

inline constexpr std::string_view kFolderSchema = "brindlewick-folders";
inline constexpr int kFolderSchemaVersion = 1;

// The document's text, ending in a newline.
std::string folder_json(const FolderResult& result);

// Writes the document to PATH, which must not exist yet. False with ERROR otherwise.
[[nodiscard]] bool write_folder_json(const FolderResult& result, const std::string& path,
                                     std::string& error);

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_JSON_H
