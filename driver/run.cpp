#include "run.h"

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

#include "command_line.h"
#include "comparison.h"
#include "file_names.h"
#include "json_result.h"
#include "kavro/kavro.h"
#include "outputs.h"
#include "settings.h"

namespace brindlewick {

using kavro::BDESC3;
using kavro::CDESC3;
using kavro::Name16;

namespace {

// An exit handler takes no argument: the status it leaves with is its template argument, so no
// mutable state outlives the run. See Comparison::complete.
template <int kStatus>
void leave_with_status() noexcept {
  std::fflush(nullptr);
  std::_Exit(kStatus);
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
// cause the library noted, and the usage when nothing at all names the files.
void Comparison::fail_on_file(const Name16& lname, const Mesg& MESG) noexcept {
  reports_.flush();
  const std::string line = file_stop_line(lname.trimmed(), name_state(lname.trimmed()),
                                          kavro::last_file_failure(), MESG.trimmed());
  std::fputs(line.c_str(), stderr);
  if (nothing_named()) std::fprintf(stderr, "%s\n", std::string(usage_line()).c_str());
  // The JSON's reason is that line, without the program's name and the newline.
  std::string_view reason = line;
  if (reason.starts_with("brindlewick: "))
    reason.remove_prefix(std::string_view("brindlewick: ").size());
  while (reason.ends_with('\n')) reason.remove_suffix(1);
  write_failed_json(reason);
  kavro::XQEXIT(PROGNAME, 0, 0, MESG.padded(), kavro::kExitFailure);
}

// A failed run's JSON result; the run fails already, so a JSON file that cannot be written is
// said on standard error.
void Comparison::write_failed_json(std::string_view reason) noexcept {
  if (Mesg failure; !write_json(kStatusFailed, reason, {}, failure)) {
    std::fprintf(stderr, "brindlewick: %.*s\n", static_cast<int>(failure.trimmed().size()),
                 failure.trimmed().data());
  }
}

// BRINDLEWICK_JSON: the result, once, in a file that must not exist yet.
bool Comparison::write_json(std::string_view status, std::string_view reason,
                            std::span<const VariableStats> variables, Mesg& mesg) noexcept {
  if (settings_.json_path.empty() || json_tried_) return true;
  json_tried_ = true;
  const std::string text = json_result({status, reason, settings_, steps_, variables});
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
    if (std::atexit(leave_with_status<kExitDifferences>) != 0) {
      fail(Mesg{"Could not arrange the exit status for differing cells"});
    }
  }
  kavro::XQEXIT(PROGNAME, 0, 0, "", kavro::kExitOk);
}

void Comparison::run() noexcept {
  Mesg mesg;
  for (const std::string& line : unknown_setting_lines(environ)) say(line);
  if (!read_settings(settings_, mesg)) fail(mesg);
  const FileShape infile2 = open_files();

  // From here on everything comes from INFILE2's description, taken once.
  const int TSTEP = step_length(BDESC3.TSTEP3D);
  const int nsteps = BDESC3.MXREC3D;
  const int nvars = description_nvars();
  const GridFrame grid{infile2.ncols,  infile2.nrows,  infile2.nlays, BDESC3.XORIG3D,
                       BDESC3.YORIG3D, BDESC3.XCELL3D, BDESC3.YCELL3D};
  allocate_data_arrays(grid, nvars);
  allocate_report_texts(grid);
  if (!check_layers(settings_.layers, grid.nlays, mesg)) fail(mesg);
  const GridFrame compared_grid = compared_layers(grid, settings_.layers);

  // Without any of the optional settings the comparison runs exactly as it always has.
  Outputs extras(settings_, compared_grid, location_view(), reports_);
  Outputs* outputs = settings_.any() ? &extras : nullptr;
  check_steps_selected(TSTEP, nsteps);
  find_steps(TSTEP, nsteps);
  if (settings_.steps.set) kavro::XQMSG2(steps_line(TSTEP, nsteps));
  if (outputs != nullptr && !outputs->start(mesg)) fail(mesg);
  for (std::size_t v = 0; v < static_cast<std::size_t>(nvars); ++v) {
    if (compared(CDESC3.VNAME3D[v].padded())) {
      compare_variable(v, compared_grid, TSTEP, nsteps, outputs);
    }
  }
  flush_reports();
  if (outputs == nullptr) kavro::XQEXIT(PROGNAME, 0, 0, "", kavro::kExitOk);
  if (!outputs->finish(mesg)) fail(mesg);
  const auto stats = outputs->stats();
  const bool differ = std::any_of(stats.begin(), stats.end(),
                                  [](const VariableStats& s) { return s.differing > 0; });
  if (!write_json(differ ? kStatusDiffer : kStatusIdentical, "", stats, mesg)) fail(mesg);
  tell(outputs->verdict());
  complete(outputs->exit_status());
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
  if (comparison == nullptr) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(kAllocFailure.size()), kAllocFailure.data());
    std::exit(kavro::kExitFailure);
  }
  comparison->run();
}

}  // namespace brindlewick
