#include "folder/folder_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "folder/folder_lines.h"
#include "folder/folder_read.h"

namespace brindlewick {
namespace {

using json = nlohmann::ordered_json;

// Text that is not UTF-8 (a file name) is written with the replacement character.
std::string text_of(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// One pair's entry, on a line of its own in the document. The pair's own document is kept as the
// text its reader wrote and goes in as it is, so no pair is parsed again and no whole document is
// ever held.
std::string pair_entry(const FolderResult& result, const PairResult& p) {
  json categories = json::array();
  for (const std::string& c : p.categories) categories.push_back(c);
  const json entry{{"path", p.path},
                   {"file1", p.file1},
                   {"file2", p.file2},
                   {"verdict", verdict_name(p.verdict)},
                   {"categories", std::move(categories)},
                   {"reason", p.reason},
                   {"exit_status", p.exit_status}};
  std::string text = text_of(entry);
  text.pop_back();  // the closing brace
  const std::string document = pair_document(result, p);
  text.append(",\"result\":").append(document.empty() ? "null" : document).append("}");
  return text;
}

// The document, piece by piece, to PUT.
template <typename Put>
void put_folder_json(const FolderResult& result, Put&& put) {
  const FolderTotals t = folder_totals(result);
  const json head{{"schema", kFolderSchema},
                  {"schema_version", kFolderSchemaVersion},
                  {"dir1", result.dir1},
                  {"dir2", result.dir2},
                  {"verdict", folder_verdict(t)},
                  {"totals",
                   {{"pairs", t.pairs},
                    {"identical", t.identical},
                    {"differ", t.differ},
                    {"failed", t.failed},
                    {"only_in_dir1", t.only_in_dir1},
                    {"only_in_dir2", t.only_in_dir2}}}};
  std::string text = text_of(head);
  text.pop_back();
  put(text.append(",\"pairs\":["));
  for (std::size_t i = 0; i < result.pairs.size(); ++i) {
    put((i > 0 ? ",\n" : "\n") + pair_entry(result, result.pairs[i]));
  }
  put(result.pairs.empty() ? "]}\n" : "\n]}\n");
}

}  // namespace

std::string folder_json(const FolderResult& result) {
  std::string out;
  put_folder_json(result, [&out](const std::string& piece) { out += piece; });
  return out;
}

bool write_folder_json(const FolderResult& result, const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wx");
  bool written = f != nullptr;
  if (written) {
    put_folder_json(result, [&](const std::string& piece) {
      written = written && std::fwrite(piece.data(), 1, piece.size(), f) == piece.size();
    });
  }
  if (f != nullptr && std::fclose(f) == 0 && written) return true;
  error = std::string(f == nullptr ? "could not create" : "could not write") + " the JSON file \"" +
          path + "\"";
  return false;
}

}  // namespace brindlewick
