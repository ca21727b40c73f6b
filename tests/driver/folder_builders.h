// Folder results built by hand for the folder reports' tests.
#ifndef KAVRO_TESTS_DRIVER_FOLDER_BUILDERS_H
#define KAVRO_TESTS_DRIVER_FOLDER_BUILDERS_H

#include <string>
#include <utility>
#include <vector>

#include "folder/folder_result.h"

namespace brindlewick_test {

inline brindlewick::PairResult folder_pair(std::string path, brindlewick::PairVerdict verdict,
                                           std::vector<std::string> categories,
                                           std::vector<brindlewick::VariableFigures> variables,
                                           std::string reason = "") {
  brindlewick::PairResult p;
  p.path = std::move(path);
  p.verdict = verdict;
  p.categories = std::move(categories);
  p.variables = std::move(variables);
  p.reason = std::move(reason);
  return p;
}

}  // namespace brindlewick_test

#endif  // KAVRO_TESTS_DRIVER_FOLDER_BUILDERS_H
