#include "outputs/junit_report.h"

#include <cstdint>

#include "outputs/folder_text.h"

namespace brindlewick {
namespace {

struct Counts {
  std::uint64_t tests = 0, failures = 0, errors = 0;
};

void put_attribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  out += xml_escaped(value);
  out += '"';
}

// One test case. `kind` is "failure" or "error", or empty for a case that passed.
void put_case(std::string& out, Counts& counts, std::string_view classname, std::string_view name,
              std::string_view kind, std::string_view message, std::string_view type,
              std::string_view body) {
  ++counts.tests;
  out += "    <testcase";
  put_attribute(out, "classname", classname);
  put_attribute(out, "name", name);
  if (kind.empty()) {
    out += "/>\n";
    return;
  }
  (kind == "error" ? counts.errors : counts.failures) += 1;
  out += ">\n      <";
  out += kind;
  put_attribute(out, "message", message);
  put_attribute(out, "type", type);
  if (body.empty()) {
    out += "/>\n";
  } else {
    out += '>';
    out += xml_escaped(body);
    out += "</";
    out += kind;
    out += ">\n";
  }
  out += "    </testcase>\n";
}

std::string count_text(std::uint64_t n) {
  return std::to_string(static_cast<unsigned long long>(n));
}

std::string variable_message(const VariableFigures& v) {
  return count_text(v.differing) + " of " + count_text(v.compared) +
         " cells differ; largest |difference| " + figure_text(v.max_abs) + " at " +
         place_text(v.max_place);
}

std::string variable_body(const PairResult& pair, const VariableFigures& v) {
  return "categories: " + categories_text(pair.categories) +
         "\ncells compared: " + count_text(v.compared) +
         "\ncells differing: " + count_text(v.differing) +
         "\nlargest |difference|: " + figure_text(v.max_abs) + "\nat: " + place_text(v.max_place) +
         "\nRMS difference: " + figure_text(v.rms) + "\ntolerance: absolute " +
         figure_text(v.tolerance_abs) + ", relative " + figure_text(v.tolerance_rel) +
         "\nmargin: " + figure_text(v.margin) + "\n";
}

std::string counts_attributes(const Counts& counts) {
  return " tests=\"" + count_text(counts.tests) + "\" failures=\"" + count_text(counts.failures) +
         "\" errors=\"" + count_text(counts.errors) + "\"";
}

}  // namespace

std::string junit_text(const FolderResult& result) {
  Counts counts;
  std::string cases;
  for (const ReportEntry& e : report_entries(result)) {
    const std::string& path = e.pair->path;
    if (e.variable != nullptr) {
      if (e.differs()) {
        put_case(cases, counts, path, e.variable->name, "failure", variable_message(*e.variable),
                 e.categories, variable_body(*e.pair, *e.variable));
      } else {
        put_case(cases, counts, path, e.variable->name, "", "", "", "");
      }
    } else if (e.verdict == "failed") {
      put_case(cases, counts, path, path, "error", e.note, e.verdict, "");
    } else if (e.differs()) {
      // A pair that differs in more than its cells names those categories as its type.
      put_case(cases, counts, path, path, "failure", e.note,
               e.categories.empty() ? e.verdict : e.categories, "");
    } else {
      put_case(cases, counts, path, path, "", "", "", "");
    }
  }
  const std::string totals = counts_attributes(counts);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"brindlewick\"";
  out += totals + ">\n  <testsuite name=\"brindlewick\"" + totals + " skipped=\"0\">\n";
  out += "    <properties>\n      <property name=\"dir1\"";
  put_attribute(out, "value", result.dir1);
  out += "/>\n      <property name=\"dir2\"";
  put_attribute(out, "value", result.dir2);
  out += "/>\n    </properties>\n";
  out += cases;
  out += "  </testsuite>\n</testsuites>\n";
  return out;
}

bool write_junit(const FolderResult& result, const std::string& path, std::string& error) {
  return write_text_file(junit_text(result), path, "JUnit report", error);
}

}  // namespace brindlewick
