#include "folder/folder_pairs.h"

#include <fnmatch.h>
#include <glob.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

namespace brindlewick {
namespace fs = std::filesystem;
namespace {

// The temporary name a file being accepted has until it is renamed into place.
constexpr std::string_view kAcceptTempPrefix = ".brindlewick-accept.";

bool matches(const std::string& pattern, std::string_view rel) {
  return ::fnmatch(pattern.c_str(), std::string(rel).c_str(), 0) == 0;
}

std::string_view base_name(std::string_view rel) {
  const std::size_t slash = rel.rfind('/');
  return slash == std::string_view::npos ? rel : rel.substr(slash + 1);
}

// Every file under ROOT (symbolic links to files included), by relative path.
bool walk(const std::string& root, const PairFilter& filter,
          std::map<std::string, std::string>& out, std::string& error) {
  std::error_code ec;
  fs::recursive_directory_iterator it(root, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    const std::string rel = it->path().lexically_relative(root).generic_string();
    if (paired_path(rel, filter)) out.emplace(rel, it->path().string());
  }
  if (!ec) return true;
  error = "cannot read the folder \"" + root + "\": " + ec.message();
  return false;
}

bool has_wildcard(const std::string& arg) { return arg.find_first_of("*?[") != std::string::npos; }

// The files a list names, its patterns expanded.
bool expand(const std::vector<std::string>& args, std::vector<fs::path>& files,
            std::string& error) {
  for (const std::string& arg : args) {
    if (!has_wildcard(arg)) {
      files.emplace_back(arg);
      continue;
    }
    glob_t found{};
    const int rc = ::glob(arg.c_str(), 0, nullptr, &found);
    if (rc == 0) {
      for (std::size_t i = 0; i < found.gl_pathc; ++i) files.emplace_back(found.gl_pathv[i]);
    }
    ::globfree(&found);
    if (rc != 0) {
      error = "the pattern \"" + arg + "\" matches no file";
      return false;
    }
  }
  for (const fs::path& f : files) {
    std::error_code ec;
    if (fs::is_directory(f, ec)) {
      error = "\"" + f.string() + "\" is a folder: list files, or give two folders";
      return false;
    }
  }
  return true;
}

// The folder every file of FILES lies in.
fs::path common_folder(const std::vector<fs::path>& files) {
  fs::path common = fs::absolute(files.front()).lexically_normal().parent_path();
  for (const fs::path& f : files) {
    const fs::path dir = fs::absolute(f).lexically_normal().parent_path();
    fs::path shared;
    for (auto a = common.begin(), b = dir.begin(); a != common.end() && b != dir.end() && *a == *b;
         ++a, ++b) {
      shared /= *a;
    }
    common = shared;
  }
  return common;
}

}  // namespace

bool paired_path(std::string_view rel, const PairFilter& filter) {
  if (rel == kAcceptedLog || rel.starts_with(std::string(kReplacedFolder) + "/") ||
      base_name(rel).starts_with(kAcceptTempPrefix)) {
    return false;
  }
  if (!filter.include.empty() &&
      std::none_of(filter.include.begin(), filter.include.end(),
                   [&](const std::string& p) { return matches(p, rel); })) {
    return false;
  }
  return std::none_of(filter.exclude.begin(), filter.exclude.end(),
                      [&](const std::string& p) { return matches(p, rel); });
}

bool list_pairs(const std::string& dir1, const std::vector<std::string>& side2,
                const PairFilter& filter, PairListing& out, std::string& error) {
  std::map<std::string, std::string> first, second;
  if (!walk(dir1, filter, first, error)) return false;
  const bool folder = side2.size() == 1 && fs::is_directory(side2.front());
  if (folder) {
    out.dir2 = side2.front();
    if (!walk(out.dir2, filter, second, error)) return false;
  } else {
    std::vector<fs::path> files;
    if (!expand(side2, files, error)) return false;
    const fs::path root = common_folder(files);
    out.dir2 = root.string();
    for (const fs::path& f : files) {
      const std::string rel =
          fs::absolute(f).lexically_normal().lexically_relative(root).generic_string();
      if (paired_path(rel, filter)) second.emplace(rel, f.string());
    }
    // Only the files listed are paired.
    std::erase_if(first, [&](const auto& entry) { return second.count(entry.first) == 0; });
  }
  out.pairs.clear();
  auto a = first.begin();
  auto b = second.begin();
  while (a != first.end() || b != second.end()) {
    PathPair p;
    if (b == second.end() || (a != first.end() && a->first < b->first)) {
      p = {a->first, a->second, ""};
      ++a;
    } else if (a == first.end() || b->first < a->first) {
      p = {b->first, "", b->second};
      ++b;
    } else {
      p = {a->first, a->second, b->second};
      ++a;
      ++b;
    }
    out.pairs.push_back(std::move(p));
  }
  return true;
}

}  // namespace brindlewick
