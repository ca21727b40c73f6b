// What a folder run found: each pair's verdict and figures, as the folder outputs (the lines on
// standard output, the JSON document, JUnit and the HTML page) read them.
#ifndef BRINDLEWICK_FOLDER_RESULT_H
#define BRINDLEWICK_FOLDER_RESULT_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace brindlewick {

// Where a variable's largest difference lies.
struct DifferencePlace {
  int jdate = 0, jtime = 0, layer = 0, column = 0, row = 0;
  double latitude = 0.0, longitude = 0.0;
};

// One step's figures of one variable.
struct PairStepFigures {
  int jdate = 0, jtime = 0;
  std::uint64_t differing = 0;
  double max_abs = 0.0;
  double rms = 0.0;
};

// One variable of one pair.
struct VariableFigures {
  std::string name;
  std::uint64_t compared = 0, differing = 0;
  double max_abs = 0.0;
  DifferencePlace max_place;
  double rms = 0.0;
  double tolerance_abs = 0.0, tolerance_rel = 0.0;
  double margin = 0.0;  // the largest difference against its tolerance (1 = at the tolerance)
  std::vector<PairStepFigures> steps;  // kept for differing variables only
  std::string map_png;  // a difference map of its largest difference; empty when none
};

enum class PairVerdict { kIdentical, kDiffer, kFailed, kOnlyInDir1, kOnlyInDir2 };

// One relative path of the two folders.
struct PairResult {
  std::string path;          // relative to both folders
  std::string file1, file2;  // empty for the side that lacks it
  PairVerdict verdict = PairVerdict::kFailed;
  std::vector<std::string> categories;  // of "cells", "steps", "variables", "grid", "header"
  std::string reason;                   // why it failed or was not compared
  int exit_status = 0;
  std::vector<VariableFigures> variables;
  std::string pair_json;  // the pair's own document, as the single-pair --json writes it
  // Or where the run put it aside (FolderResult::documents), when document_size > 0.
  std::uint64_t document_at = 0, document_size = 0;
};

struct FolderResult {
  std::string dir1, dir2;
  std::vector<PairResult> pairs;
  // The pairs' own documents, set aside one after another in an unnamed temporary file as they
  // are read, so that the run's memory does not grow with them; null when none was kept.
  std::shared_ptr<std::FILE> documents;
};

}  // namespace brindlewick

#endif  // BRINDLEWICK_FOLDER_RESULT_H
