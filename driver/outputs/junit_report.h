// The folder run as a JUnit XML report, for continuous-integration servers: one test suite for
// the run, one test case per file and variable (classname the file's relative path, name the
// variable). A variable with differing cells is a failure whose text gives the pair's
// categories, the counts and the largest difference with its place. A file that could not be
// compared is one test case named for the file with an error; a file in one folder only, or a
// pair that differs in more than its cells (header, grid, steps, variables), one with a failure.
#ifndef BRINDLEWICK_JUNIT_REPORT_H
#define BRINDLEWICK_JUNIT_REPORT_H

#include <string>

#include "folder/folder_result.h"

namespace brindlewick {

// The report's text. Pure.
std::string junit_text(const FolderResult& result);

// Writes the report to `path` (replacing a file there). False with `error` set when it cannot.
[[nodiscard]] bool write_junit(const FolderResult& result, const std::string& path,
                               std::string& error);

}  // namespace brindlewick

#endif  // BRINDLEWICK_JUNIT_REPORT_H
