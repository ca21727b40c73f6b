#include "run/run.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <span>
#include <string>
#include <string_view>

#if defined(__x86_64__) || defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "kavro/kavro.h"
#include "options/command_line.h"
#include "options/file_names.h"
#include "outputs/json_result.h"
#include "outputs/outputs.h"
#include "run/comparison.h"
#include "run/settings.h"

namespace brindlewick {

using kavro::Name16;

namespace {

// An exit handler takes no argument: the status it leaves with is its template argument, so no
// mutable state outlives the run. See Comparison::complete.
// Header differences told on standard error with the verdict; the log has all of them.
constexpr std::size_t kHeaderLinesTold = 3;

template <int kStatus>
void leave_with_status() noexcept {
  std::fflush(nullptr);
  std::_Exit(kStatus);
}

// The comparison compare_pair made, until end_pair frees it, and the status it finished with.
Comparison* current_pair = nullptr;
int pair_status = kavro::kExitOk;

[[noreturn]] void stop_for_memory() noexcept {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(kAllocFailure.size()), kAllocFailure.data());
  std::exit(kavro::kExitFailure);
}

}  // namespace

void Comparison::tell(std::string_view text) const noexcept {
  if (!log_apart_) return;
  std::fprintf(stderr, "brindlewick: %.*s\n", static_cast<int>(text.size()), text.data());
}

// A line for the log that the person at the terminal should see as well.
void Comparison::say(const std::string& line) noexcept {
  kavro::XQMSG2(line);
  tell(line);
}

// Reports written so far reach standard output before anything the library logs there. The
// reason reaches standard error whether or not the log is standard output: the person at the
// terminal may have sent standard output, and the log with it, to a file.
void Comparison::fail(const Mesg& MESG) noexcept {
  reports_.flush();
  const std::string_view text = MESG.trimmed();
  std::fprintf(stderr, "brindlewick: %.*s\n", static_cast<int>(text.size()), text.data());
  write_failed_json(text);
  kavro::XQEXIT(PROGNAME, 0, 0, MESG.padded(), kavro::kExitFailure);
}

// A file stopped the run: the log keeps MESG, standard error gets the name, the path and the
// cause the library noted (and HINT), and the usage when nothing at all names the files.
void Comparison::fail_on_file(const Name16& lname, const Mesg& MESG,
                              std::string_view hint) noexcept {
  reports_.flush();
  const std::string reason = file_stop_reason(lname.trimmed(), name_state(lname.trimmed()),
                                              kavro::last_file_failure(), MESG.trimmed()) +
                             std::string(hint);
  std::fprintf(stderr, "brindlewick: %s\n", reason.c_str());
  if (nothing_named()) std::fprintf(stderr, "%s\n", std::string(usage_line()).c_str());
  write_failed_json(reason);
  kavro::XQEXIT(PROGNAME, 0, 0, MESG.padded(), kavro::kExitFailure);
}

// A failed run's JSON result; the run fails already, so a JSON file that cannot be written is
// said on standard error.
void Comparison::write_failed_json(std::string_view reason) noexcept {
  if (Mesg failure; !write_json(kStatusFailed, reason, {}, nullptr, failure)) {
    std::fprintf(stderr, "brindlewick: %.*s\n", static_cast<int>(failure.trimmed().size()),
                 failure.trimmed().data());
  }
}

// BRINDLEWICK_JSON: the result, once, in a file that must not exist yet.
bool Comparison::write_json(std::string_view status, std::string_view reason,
                            std::span<const VariableStats> variables, const Verdict* verdict,
                            Mesg& mesg) noexcept {
  if (settings_.json_path.empty() || json_tried_) return true;
  json_tried_ = true;
  const std::vector<StepTime> steps = compared_steps();
  const RunFiles files{
      named_path(INFILE1.trimmed()), named_path(INFILE2.trimmed()),
      source_ == LocationSource::kGrid ? std::string() : named_path(STACK1.trimmed())};
  const std::string text = json_result(
      {status, reason, settings_, steps, variables, files, planned_ ? &plan_ : nullptr, verdict});
  std::FILE* f = std::fopen(settings_.json_path.c_str(), "wx");
  const bool written = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr && std::fclose(f) == 0 && written) return true;
  // Built in a named string: GCC 12 at -O3 warns (-Warray-bounds) on the chain of temporaries.
  std::string why = f == nullptr ? "Could not create" : "Could not write";
  why.append(" JSON file \"").append(settings_.json_path).append("\"");
  mesg.assign(why);
  return false;
}

// Ends a run that compared everything. XQEXIT writes the normal-completion paragraph only for
// status 0 and calls any other status an abort; a run that tells differing cells by its status
// keeps that paragraph and leaves, once XQEXIT has closed every file, with status 1.
void Comparison::complete(int status) noexcept {
  if (status != kavro::kExitOk) {
    // The only other status a finished comparison has.
    assert(status == kExitDifferences && "a comparison ends with 0 or kExitDifferences");
    if (current_pair == this) {
      pair_status = status;
    } else if (std::atexit(leave_with_status<kExitDifferences>) != 0) {
      fail(Mesg{"Could not arrange the exit status for differing cells"});
    }
  }
  kavro::XQEXIT(PROGNAME, 0, 0, "", kavro::kExitOk);
}

// The verdict on standard error, with the first header differences; with
// BRINDLEWICK_SUMMARY the table of the variables before it.
void Comparison::tell_verdict(const Verdict& verdict,
                              std::span<const VariableStats> stats) noexcept {
  if (!log_apart_) return;
  if (settings_.summary) {
    for (const std::string& line : terminal_table(stats)) tell(line);
  }
  tell(verdict_line(verdict, plan_, stats));
  if ((verdict.counted() & bit(Category::header)) != 0) {
    for (const std::string& line : header_lines(plan_, kHeaderLinesTold)) tell("  " + line);
  }
}

void Comparison::run() noexcept {
  Mesg mesg;
  for (const std::string& line : unknown_setting_lines(environ)) say(line);
  if (!read_settings(settings_, mesg)) fail(mesg);
  open_files();

  // From here on everything comes from INFILE2's description and the plan.
  const FileShape& shape = infile2_.shape;
  const GridFrame grid{shape.ncols,
                       shape.nrows,
                       shape.nlays,
                       infile2_.place.XORIG3D,
                       infile2_.place.YORIG3D,
                       infile2_.place.XCELL3D,
                       infile2_.place.YCELL3D};
  allocate_data_arrays(grid);
  allocate_report_texts(grid);
  if (!check_layers(settings_.layers, grid.nlays, mesg)) fail(mesg);
  const GridFrame compared_grid = compared_layers(grid, settings_.layers);
  step_compared_.assign(plan_.steps.size(), false);

  // Without any of the optional settings the comparison runs exactly as it always has.
  Outputs extras(settings_, compared_grid, location_view(), reports_);
  Outputs* outputs = settings_.any() ? &extras : nullptr;
  check_steps_selected();
  if (settings_.steps.set) kavro::XQMSG2(steps_line());
  if (outputs != nullptr && !outputs->start(mesg)) fail(mesg);
  for (const std::size_t v : plan_.variables)
    compare_variable(infile2_.variables[v], compared_grid, outputs);
  flush_reports();
  if (outputs == nullptr) kavro::XQEXIT(PROGNAME, 0, 0, "", kavro::kExitOk);
  if (!outputs->finish(mesg)) fail(mesg);
  const auto stats = outputs->stats();
  const Verdict verdict = verdict_of(plan_, stats, settings_.verdict_ignores);
  const bool exit_one = settings_.exit_on_diff && verdict.differ();
  if (exit_one) {
    // Cells say it as they always have; the other kinds name themselves.
    if ((verdict.counted() & bit(Category::cells)) != 0) {
      kavro::XQMSG2("Cells differ: " + std::to_string(outputs->differing_cells()) +
                    " (exit status 1, " + std::string(kExitOnDiffSetting) + ")");
    } else {
      std::string names;
      for (const std::string_view n : category_names(verdict.counted())) {
        names.append(names.empty() ? "" : ", ").append(n);
      }
      kavro::XQMSG2("Files differ: " + names + " (exit status 1, " +
                    std::string(kExitOnDiffSetting) + ")");
    }
  }
  if (!write_json(verdict.differ() ? kStatusDiffer : kStatusIdentical, "", stats, &verdict, mesg)) {
    fail(mesg);
  }
  tell_verdict(verdict, stats);
  complete(exit_one ? kExitDifferences : kavro::kExitOk);
}

void set_floating_point_modes() noexcept {
#if defined(__x86_64__) || defined(__SSE__)
  // Flush-to-zero (0x8000) and denormals-are-zero (0x0040).
  _mm_setcsr(_mm_getcsr() | 0x8040u);
#endif
}

void compare_files(int log_unit, LocationSource source) noexcept {
  // The report buffer alone takes a megabyte, so the run is not put on the stack. Held from
  // static storage and never freed, it and the arrays it allocates stay reachable until the
  // process ends, as the leak checker expects of memory a run keeps to its end.
  static Comparison* const comparison =
      new (std::nothrow) Comparison(log_unit != kStandardOutputUnit, source);
  if (comparison == nullptr) stop_for_memory();
  comparison->run();
}

void compare_pair(int log_unit, LocationSource source) noexcept {
  static_cast<void>(end_pair(kavro::kExitOk));  // one left by a run that never ended
  current_pair = new (std::nothrow) Comparison(log_unit != kStandardOutputUnit, source);
  if (current_pair == nullptr) stop_for_memory();
  current_pair->run();
}

int end_pair(int exit_status) noexcept {
  const int status = exit_status == kavro::kExitOk ? pair_status : exit_status;
  delete current_pair;
  current_pair = nullptr;
  pair_status = kavro::kExitOk;
  return status;
}

}  // namespace brindlewick
