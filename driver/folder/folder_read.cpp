#include "folder/folder_read.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

namespace brindlewick {
namespace {

using json = nlohmann::ordered_json;

double number(const json& o, const char* key) {
  const auto it = o.find(key);
  return it != o.end() && it->is_number() ? it->get<double>() : 0.0;
}

std::uint64_t count(const json& o, const char* key) {
  const auto it = o.find(key);
  return it != o.end() && it->is_number_unsigned() ? it->get<std::uint64_t>() : 0;
}

int whole(const json& o, const char* key) {
  const auto it = o.find(key);
  return it != o.end() && it->is_number_integer() ? it->get<int>() : 0;
}

// One step of a variable's series: {"date", "time", "cells_differing", "largest_abs", "rms"}.
PairStepFigures step_of(const json& s) {
  PairStepFigures f;
  if (!s.is_object()) return f;
  f.jdate = whole(s, "date");
  f.jtime = whole(s, "time");
  f.differing = count(s, "cells_differing");
  f.max_abs = number(s, "largest_abs");
  f.rms = number(s, "rms");
  return f;
}

VariableFigures variable_of(const json& v, double abs_tol, double rel_tol) {
  VariableFigures f;
  if (const auto n = v.find("name"); n != v.end() && n->is_string()) f.name = n->get<std::string>();
  f.compared = count(v, "cells_compared");
  f.differing = count(v, "cells_differing");
  f.rms = number(v, "rms");
  f.tolerance_abs = abs_tol;
  f.tolerance_rel = rel_tol;
  if (const auto e = v.find("largest_abs"); e != v.end() && e->is_object()) {
    f.max_abs = number(*e, "difference");
    f.max_place = {whole(*e, "date"),      whole(*e, "time"), whole(*e, "layer"),
                   whole(*e, "column"),    whole(*e, "row"),  number(*e, "latitude"),
                   number(*e, "longitude")};
    // Against the absolute tolerance, or the relative one at the larger of the two values.
    const double scale = std::max(std::fabs(number(*e, "value1")), std::fabs(number(*e, "value2")));
    const double allowed = std::max(abs_tol, rel_tol * scale);
    f.margin = allowed > 0.0 ? f.max_abs / allowed : 0.0;
  }
  // The variable's own tolerance (from a tolerances file) and its margin, when the document
  // gives them.
  if (const auto t = v.find("tolerance"); t != v.end() && t->is_object()) {
    f.tolerance_abs = number(*t, "abs");
    f.tolerance_rel = number(*t, "rel");
  }
  if (const auto m = v.find("margin"); m != v.end() && m->is_number()) f.margin = m->get<double>();
  // The series is kept for differing variables only, so a folder's summary stays small.
  if (const auto s = v.find("series"); s != v.end() && s->is_array() && f.differing > 0) {
    f.steps.reserve(s->size());
    for (const json& step : *s) f.steps.push_back(step_of(step));
  }
  return f;
}

}  // namespace

bool read_pair_document(std::string_view text, bool keep_text, PairResult& pair,
                        std::string& error) {
  const json doc = json::parse(text.begin(), text.end(), nullptr, false);
  const auto status = doc.is_object() ? doc.find("status") : doc.end();
  if (doc.is_discarded() || !doc.is_object() || status == doc.end() || !status->is_string()) {
    error = "no status in the pair's JSON result";
    return false;
  }
  const std::string verdict = status->get<std::string>();
  if (verdict == "identical") {
    pair.verdict = PairVerdict::kIdentical;
  } else if (verdict == "differ") {
    pair.verdict = PairVerdict::kDiffer;
  } else if (verdict == "failed") {
    pair.verdict = PairVerdict::kFailed;
  } else {
    error = "unknown status \"" + verdict + "\" in the pair's JSON result";
    return false;
  }
  if (const auto r = doc.find("reason"); r != doc.end() && r->is_string()) {
    pair.reason = r->get<std::string>();
  }
  double abs_tol = 0.0, rel_tol = 0.0;
  if (const auto s = doc.find("settings"); s != doc.end() && s->is_object()) {
    abs_tol = number(*s, "abs_tol");
    rel_tol = number(*s, "rel_tol");
  }
  pair.variables.clear();
  if (const auto vars = doc.find("variables"); vars != doc.end() && vars->is_array()) {
    for (const json& v : *vars) {
      if (v.is_object()) pair.variables.push_back(variable_of(v, abs_tol, rel_tol));
    }
  }
  pair.categories.clear();
  if (const auto c = doc.find("categories"); c != doc.end() && c->is_array()) {
    for (const json& name : *c) {
      if (name.is_string()) pair.categories.push_back(name.get<std::string>());
    }
  } else if (pair.verdict == PairVerdict::kDiffer) {
    // A document without categories tells differing cells only.
    for (const VariableFigures& v : pair.variables) {
      if (v.differing > 0) {
        pair.categories.emplace_back("cells");
        break;
      }
    }
  }
  pair.pair_json =
      keep_text ? doc.dump(-1, ' ', false, json::error_handler_t::replace) : std::string();
  return true;
}

bool set_aside_document(FolderResult& result, PairResult& pair, std::string& error) {
  if (pair.pair_json.empty()) return true;
  if (!result.documents) result.documents.reset(std::tmpfile(), std::fclose);
  std::FILE* f = result.documents.get();
  if (f == nullptr || std::fseek(f, 0, SEEK_END) != 0) {
    error = std::string("could not set a pair's document aside: ") + std::strerror(errno);
    return false;
  }
  const long at = std::ftell(f);
  if (at < 0 ||
      std::fwrite(pair.pair_json.data(), 1, pair.pair_json.size(), f) != pair.pair_json.size()) {
    error = std::string("could not set a pair's document aside: ") + std::strerror(errno);
    return false;
  }
  pair.document_at = static_cast<std::uint64_t>(at);
  pair.document_size = pair.pair_json.size();
  std::string().swap(pair.pair_json);
  return true;
}

std::string pair_document(const FolderResult& result, const PairResult& pair) {
  if (!pair.pair_json.empty() || pair.document_size == 0) return pair.pair_json;
  std::FILE* f = result.documents.get();
  std::string text(pair.document_size, '\0');
  if (f == nullptr || std::fseek(f, static_cast<long>(pair.document_at), SEEK_SET) != 0 ||
      std::fread(text.data(), 1, text.size(), f) != text.size()) {
    return {};
  }
  return text;
}

}  // namespace brindlewick
