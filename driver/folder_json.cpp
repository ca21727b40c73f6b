#include "folder_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "folder_text.h"

namespace brindlewick {
namespace {

using json = nlohmann::ordered_json;

json pair_document(const PairResult& p) {
  json categories = json::array();
  for (const std::string& c : p.categories) categories.push_back(c);
  json result = nullptr;
  if (!p.pair_json.empty()) {
    result = json::parse(p.pair_json, nullptr, false);
    if (result.is_discarded()) result = nullptr;
  }
  return json{{"path", p.path},
              {"file1", p.file1},
              {"file2", p.file2},
              {"verdict", verdict_name(p.verdict)},
              {"categories", std::move(categories)},
              {"reason", p.reason},
              {"exit_status", p.exit_status},
              {"result", std::move(result)}};
}

}  // namespace

std::string folder_json(const FolderResult& result) {
  const FolderTotals t = folder_totals(result);
  json pairs = json::array();
  for (const PairResult& p : result.pairs) pairs.push_back(pair_document(p));
  const json doc{{"schema", kFolderSchema},
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
                   {"only_in_dir2", t.only_in_dir2}}},
                 {"pairs", std::move(pairs)}};
  // Text that is not UTF-8 (a file name) is written with the replacement character.
  return doc.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

bool write_folder_json(const FolderResult& result, const std::string& path, std::string& error) {
  const std::string text = folder_json(result);
  std::FILE* f = std::fopen(path.c_str(), "wx");
  const bool written = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr && std::fclose(f) == 0 && written) return true;
  error = std::string(f == nullptr ? "could not create" : "could not write") + " the JSON file \"" +
          path + "\"";
  return false;
}

}  // namespace brindlewick
