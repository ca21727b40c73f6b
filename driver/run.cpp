#include "run.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "command_line.h"
#include "compare.h"
#include "file_names.h"
#include "json_result.h"
#include "kavro/kavro.h"
#include "outputs.h"
#include "settings.h"

namespace brindlewick {
namespace {

using kavro::ALLAYS3;
using kavro::BDESC3;
using kavro::CDESC3;
using kavro::MXVARS3;
using kavro::Name16;

constexpr Name16 PROGNAME{"Brindlewick"};
constexpr Name16 STACK1{"STACK1"};
constexpr Name16 INFILE1{"INFILE1"};
constexpr Name16 INFILE2{"INFILE2"};

// The location variables of STACK1, in the order they are read, with their documented types.
struct LocationVariable {
  std::string_view name;
  int vtype;
};
constexpr std::array<LocationVariable, 6> kLocationVariables = {{{"LATITUDE", kavro::XQREAL},
                                                                 {"LONGITUDE", kavro::XQREAL},
                                                                 {"COL", kavro::XQINT},
                                                                 {"ROW", kavro::XQINT},
                                                                 {"XLOCA", kavro::XQREAL},
                                                                 {"YLOCA", kavro::XQREAL}}};

// The most memory the kept report texts may take: grids up to about 500 000 cells.
constexpr std::size_t kReportTextBudget = std::size_t{64} << 20;

// The arrays of the run: allocated once, never freed before the process ends.
struct Arrays {
  std::array<void*, kLocationVariables.size()> location{};  // LATIT, LONGI, COL, ROW, XLOCA, YLOCA
  std::size_t location_bytes = 0;
  void* INCONC = nullptr;
  void* ALTCONC = nullptr;
  std::size_t data_bytes = 0;
  CellScratch scratch;
};

// A file's variables: names and types.
struct VariableTable {
  int nvars = 0;
  std::array<Name16, MXVARS3> names;
  std::array<int, MXVARS3> types{};
};

// A file's steps: the first, the step and how many.
struct StepAxis {
  int sdate = 0, stime = 0, tstep = 0, nrec = 0;
};

StepAxis description_axis() noexcept {
  return {BDESC3.SDATE3D, BDESC3.STIME3D, BDESC3.TSTEP3D, BDESC3.MXREC3D};
}

// A negative step marks a file that keeps its two latest steps in turn; its steps still
// advance in time, by the step's magnitude.
int step_length(int tstep) noexcept {
  return tstep == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max()
                                                  : std::abs(tstep);
}

// Whether AXIS holds the step; a time-independent file holds every step.
bool axis_holds(const StepAxis& axis, int jdate, int jtime) noexcept {
  if (axis.tstep == 0) return axis.nrec > 0;
  int d = axis.sdate, t = axis.stime;
  for (int k = 0; k < axis.nrec; ++k, kavro::NEXTIME(d, t, step_length(axis.tstep))) {
    if (d == jdate && t == jtime) return true;
  }
  return false;
}

std::string step_text(int jdate, int jtime) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%d:%06d", jdate, jtime);
  return text.data();
}

// The steps of FROM that IN lacks, as "YYYYDDD:HHMMSS, ...".
std::string steps_lacking(const StepAxis& from, const StepAxis& in) {
  std::string list;
  int d = from.sdate, t = from.stime;
  for (int k = 0; k < from.nrec; ++k, kavro::NEXTIME(d, t, step_length(from.tstep))) {
    if (axis_holds(in, d, t)) continue;
    list.append(list.empty() ? "" : ", ").append(step_text(d, t));
    if (from.tstep == 0) break;
  }
  return list;
}

int description_nvars() noexcept {
  const int n = BDESC3.NVARS3D;
  return n < 0 ? 0 : (n > MXVARS3 ? MXVARS3 : n);
}

FileShape description_shape() noexcept {
  return {BDESC3.FTYPE3D, BDESC3.NCOLS3D, BDESC3.NROWS3D, BDESC3.NLAYS3D};
}

GridPlace description_place() noexcept {
  GridPlace g;
  g.GDTYP3D = BDESC3.GDTYP3D;
  g.P_ALP3D = BDESC3.P_ALP3D;
  g.P_BET3D = BDESC3.P_BET3D;
  g.P_GAM3D = BDESC3.P_GAM3D;
  g.XCENT3D = BDESC3.XCENT3D;
  g.YCENT3D = BDESC3.YCENT3D;
  g.XORIG3D = BDESC3.XORIG3D;
  g.YORIG3D = BDESC3.YORIG3D;
  g.XCELL3D = BDESC3.XCELL3D;
  g.YCELL3D = BDESC3.YCELL3D;
  g.GDNAM3D = CDESC3.GDNAM3D;
  return g;
}

int described_type(std::string_view vname) noexcept {
  const int n = description_nvars();
  for (int v = 0; v < n; ++v) {
    if (kavro::padded_equal(vname, CDESC3.VNAME3D[static_cast<std::size_t>(v)].padded())) {
      return BDESC3.VTYPE3D[static_cast<std::size_t>(v)];
    }
  }
  return 0;
}

// Whether the variable is among INFILE2's, whose description is in force.
bool in_infile2(std::string_view vname) noexcept {
  const int n = description_nvars();
  for (std::size_t v = 0; v < static_cast<std::size_t>(n); ++v) {
    if (kavro::padded_equal(vname, CDESC3.VNAME3D[v].padded())) return true;
  }
  return false;
}

// Bytes of the widest value among INFILE2's variables: the data buffers hold any of them.
std::size_t widest_value(int nvars) noexcept {
  std::size_t widest = sizeof(float);
  for (std::size_t v = 0; v < static_cast<std::size_t>(nvars); ++v) {
    const std::size_t bytes = value_bytes(BDESC3.VTYPE3D[v]);
    if (bytes > widest) widest = bytes;
  }
  return widest;
}

// An exit handler takes no argument: the status it leaves with is its template argument, so no
// mutable state outlives the run. See Comparison::complete.
template <int kStatus>
void leave_with_status() noexcept {
  std::fflush(nullptr);
  std::_Exit(kStatus);
}

// One comparison run: what it has read and allocated, and where its reports go. One object,
// made by compare_files and alive until the process ends.
class Comparison {
 public:
  Comparison(bool log_apart, LocationSource source) noexcept
      : log_apart_(log_apart), source_(source) {}
  Comparison(const Comparison&) = delete;
  Comparison& operator=(const Comparison&) = delete;

  [[noreturn]] void run() noexcept;

 private:
  void tell(std::string_view text) const noexcept;
  void say(const std::string& line) noexcept;
  [[noreturn]] void fail(const Mesg& MESG) noexcept;
  [[noreturn]] void fail_on_file(const Name16& lname, const Mesg& MESG) noexcept;
  bool read(const Name16& lname, std::string_view vname, int layer, int JDATE, int JTIME,
            void* buffer, std::size_t bytes, kavro::ValueOrder* order = nullptr) noexcept;
  [[noreturn]] void stop_allocating() noexcept;
  void* allocate(int ncols, int nrows, int nlays, std::size_t per_cell,
                 std::size_t& bytes) noexcept;
  void open_and_describe(const Name16& lname) noexcept;
  void tell_layout_gaps(std::string_view lname) const;
  void check_shape(const Name16& lname, const FileShape& shape) noexcept;
  void check_location_types() noexcept;
  FileShape read_locations() noexcept;
  void compute_locations(const FileShape& grid) noexcept;
  void keep_infile1_variables() noexcept;
  bool in_infile1(std::string_view vname) const noexcept;
  void check_variables() noexcept;
  void list_uncommon() noexcept;
  bool compared(std::string_view vname) const noexcept;
  void warn_grid_differences(const GridPlace& stack, const GridPlace& infile1,
                             const GridPlace& infile2) noexcept;
  int infile1_type(std::string_view vname, int vtype2) const noexcept;
  void allocate_data_arrays(const GridFrame& grid, int nvars) noexcept;
  void allocate_report_texts(const GridFrame& grid) noexcept;
  void count_reports(std::size_t n, const GridFrame& grid) noexcept;
  Locations location_view() const noexcept;
  void flush_reports() noexcept;
  void compare_variable(std::size_t v, const GridFrame& grid, int TSTEP, int nsteps,
                        Outputs* outputs) noexcept;
  std::string steps_line(int TSTEP, int nsteps) const;
  void check_steps_selected(int TSTEP, int nsteps) noexcept;
  void find_steps(int TSTEP, int nsteps);
  [[nodiscard]] bool write_json(std::string_view status, std::string_view reason,
                                std::span<const VariableStats> variables, Mesg& mesg) noexcept;
  void write_failed_json(std::string_view reason) noexcept;
  [[noreturn]] void complete(int status) noexcept;

  // Whether the log has a file of its own (not standard output): the person at the terminal
  // then learns from standard error too why a run failed and what it found.
  const bool log_apart_;
  const LocationSource source_;
  Settings settings_;
  Arrays arrays_;
  // INFILE1's variables, kept because DESC3(INFILE2) overwrites the description record.
  VariableTable infile1_variables_;
  StepAxis infile1_axis_;
  ReportWriter reports_{stdout};
  // Reports written so far, and the texts kept.
  std::size_t reports_written_ = 0;
  KeptTexts kept_;
  // INFILE2's steps that BRINDLEWICK_STEPS lets through; whether the JSON result was tried.
  std::vector<StepTime> steps_;
  bool json_tried_ = false;
};

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

// READ3, with the library's note of a failure cleared first so a failure names its own cause.
// With ORDER, the values may stay in the file's byte order, which ORDER then says.
bool Comparison::read(const Name16& lname, std::string_view vname, int layer, int JDATE, int JTIME,
                      void* buffer, std::size_t bytes, kavro::ValueOrder* order) noexcept {
  kavro::clear_file_failure();
  if (order == nullptr) return kavro::READ3(lname, vname, layer, JDATE, JTIME, buffer, bytes);
  return kavro::READ3(lname, vname, layer, JDATE, JTIME, buffer, bytes, *order);
}

void Comparison::stop_allocating() noexcept {
  reports_.flush();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(kAllocFailure.size()), kAllocFailure.data());
  std::exit(kavro::kExitFailure);
}

void* Comparison::allocate(int ncols, int nrows, int nlays, std::size_t per_cell,
                           std::size_t& bytes) noexcept {
  if (!array_bytes(ncols, nrows, nlays, per_cell, bytes)) stop_allocating();
  // Zeroed: a netCDF-4 read of chunks never written (a copy cut short in no-fill mode) succeeds
  // without touching the buffer, which must then hold nothing indeterminate.
  void* p = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (p == nullptr) stop_allocating();
  return p;
}

// An unset name stands for the file of that name in the working directory, as everywhere in
// the library. A netCDF file that does not open or describe is told with all it lacks.
void Comparison::open_and_describe(const Name16& lname) noexcept {
  kavro::clear_file_failure();
  if (!kavro::OPEN3(lname, kavro::FSREAD3, PROGNAME)) {
    tell_layout_gaps(lname.trimmed());
    fail_on_file(lname, open_failure_message(lname));
  }
  kavro::clear_file_failure();
  if (!kavro::DESC3(lname)) {
    tell_layout_gaps(lname.trimmed());
    fail_on_file(lname, Mesg{kDescFailure});
  }
}

// Everything a netCDF file lacks of the layout, in one line on standard error.
void Comparison::tell_layout_gaps(std::string_view lname) const {
  const std::string name(lname);
  const char* value = std::getenv(name.c_str());
  std::string_view path = value == nullptr ? lname : kavro::trimmed(value);
  if (path.starts_with("BIN:") || path.starts_with("LIST:") || path == "BUFFERED") return;
  if (path.ends_with(" -v")) path = kavro::trimmed(path.substr(0, path.size() - 3));
  // Only a regular file: opening a FIFO would wait for a writer.
  struct stat st {};
  if (::stat(std::string(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  const std::vector<std::string> gaps = kavro::layout_gaps(std::string(path));
  if (gaps.empty()) return;
  const std::string line = kavro::layout_gaps_line(path, gaps);
  std::fprintf(stderr, "brindlewick: %s\n", line.c_str());
}

void Comparison::check_shape(const Name16& lname, const FileShape& shape) noexcept {
  Mesg mesg;
  if (!check_gridded(lname, shape, mesg)) fail(mesg);
}

// A location variable absent from STACK1 is left to READ3, whose failure names the file.
void Comparison::check_location_types() noexcept {
  Mesg mesg;
  for (const LocationVariable& var : kLocationVariables) {
    const int vtype = described_type(var.name);
    if (vtype != 0 && !check_location_type(var.name, var.vtype, vtype, mesg)) fail(mesg);
  }
}

// STACK1's location data, one value per cell. A multi-layer STACK1 gives its
// first layer; a STACK1 without layers cannot give layer 1, and READ3 says so.
FileShape Comparison::read_locations() noexcept {
  const FileShape stack = description_shape();
  check_shape(STACK1, stack);
  check_location_types();
  for (void*& array : arrays_.location) {
    array = allocate(stack.ncols, stack.nrows, 1, sizeof(float), arrays_.location_bytes);
  }
  const int layer = stack.nlays == 1 ? ALLAYS3 : 1;
  const int JDATE = BDESC3.SDATE3D;
  const int JTIME = BDESC3.STIME3D;
  for (std::size_t i = 0; i < kLocationVariables.size(); ++i) {
    if (!read(STACK1, kLocationVariables[i].name, layer, JDATE, JTIME, arrays_.location[i],
              arrays_.location_bytes)) {
      fail_on_file(STACK1, read_failure_message(STACK1));
    }
  }
  return stack;
}

// Without a location file: INFILE2's grid, whose description is in force, gives the locations,
// stored as a location file stores them (REAL and INTEGER).
void Comparison::compute_locations(const FileShape& grid) noexcept {
  for (void*& array : arrays_.location) {
    array = allocate(grid.ncols, grid.nrows, 1, sizeof(float), arrays_.location_bytes);
  }
  std::size_t bytes = 0;
  if (!array_bytes(grid.ncols, grid.nrows, static_cast<int>(kLocationVariables.size()),
                   sizeof(double), bytes)) {
    stop_allocating();
  }
  const std::size_t cells = bytes / sizeof(double) / kLocationVariables.size();
  const std::unique_ptr<double[]> values(new (std::nothrow) double[bytes / sizeof(double)]);
  if (values == nullptr) stop_allocating();
  const std::span<double> all(values.get(), bytes / sizeof(double));
  // In the order of kLocationVariables.
  std::array<std::span<double>, kLocationVariables.size()> v;
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = all.subspan(i * cells, cells);
  const kavro::GridMapping mapping = kavro::grid_mapping_of(BDESC3);
  const std::string grid_type = "grid type " + std::to_string(mapping.GDTYP) + " (" +
                                std::string(kavro::grid_type_name(mapping.GDTYP)) + ")";
  if (!kavro::grid_locations(mapping, {v[2], v[3], v[4], v[5], v[0], v[1]})) {
    fail(Mesg{"No locations for the " + grid_type +
              " of \"INFILE2\": give a location file (--stack FILE)"});
  }
  for (std::size_t i = 0; i < v.size(); ++i) {
    for (std::size_t c = 0; c < cells; ++c) {
      if (kLocationVariables[i].vtype == kavro::XQINT) {
        static_cast<std::int32_t*>(arrays_.location[i])[c] = static_cast<std::int32_t>(v[i][c]);
      } else {
        static_cast<float*>(arrays_.location[i])[c] = static_cast<float>(v[i][c]);
      }
    }
  }
  kavro::XQMSG2("Locations computed from the " + grid_type +
                " of \"INFILE2\": no location file given");
}

void Comparison::keep_infile1_variables() noexcept {
  infile1_axis_ = description_axis();
  infile1_variables_.nvars = description_nvars();
  for (std::size_t v = 0; v < static_cast<std::size_t>(infile1_variables_.nvars); ++v) {
    infile1_variables_.names[v] = CDESC3.VNAME3D[v];
    infile1_variables_.types[v] = BDESC3.VTYPE3D[v];
  }
}

bool Comparison::in_infile1(std::string_view vname) const noexcept {
  return kavro::INDEX1(vname, infile1_variables_.nvars,
                       std::span<const Name16>(infile1_variables_.names)) != 0;
}

// After DESC3(INFILE2): a chosen variable must be in one of the files, and the variables of
// INFILE1 that INFILE2 lacks (and that are chosen) are said, since only INFILE2's are compared.
void Comparison::check_variables() noexcept {
  for (const std::string& name : settings_.variables) {
    if (!in_infile1(name) && !in_infile2(name)) {
      fail(Mesg{"Variable \"" + name + "\" of " + std::string(kVariablesSetting) +
                " is in neither \"INFILE1\" nor \"INFILE2\""});
    }
  }
  for (std::size_t v = 0; v < static_cast<std::size_t>(infile1_variables_.nvars); ++v) {
    const std::string_view name = infile1_variables_.names[v].trimmed();
    if (settings_.selects(name) && !in_infile2(name)) {
      say("Variable \"" + std::string(name) +
          "\" of \"INFILE1\" is not in \"INFILE2\": not compared");
    }
  }
}

// BRINDLEWICK_ONLY_COMMON: what INFILE2 holds and INFILE1 lacks is said, not compared (what
// INFILE1 alone holds check_variables says); and so are the steps either file alone holds.
void Comparison::list_uncommon() noexcept {
  const int n = description_nvars();
  for (std::size_t v = 0; v < static_cast<std::size_t>(n); ++v) {
    const std::string_view name = CDESC3.VNAME3D[v].trimmed();
    if (settings_.selects(name) && !in_infile1(name)) {
      say("Variable \"" + std::string(name) +
          "\" of \"INFILE2\" is not in \"INFILE1\": not compared");
    }
  }
  const StepAxis infile2 = description_axis();
  for (const auto& [from, in, other] :
       {std::tuple{infile2, infile1_axis_, "INFILE2\" not in \"INFILE1"},
        std::tuple{infile1_axis_, infile2, "INFILE1\" not in \"INFILE2"}}) {
    const std::string list = steps_lacking(from, in);
    if (!list.empty()) say("Steps of \"" + std::string(other) + "\", not compared: " + list);
  }
}

// Whether a variable of INFILE2 is compared.
bool Comparison::compared(std::string_view vname) const noexcept {
  return settings_.selects(vname) && (!settings_.only_common || in_infile1(vname));
}

// Grids of the same size that lie differently are compared as they are, with a warning.
void Comparison::warn_grid_differences(const GridPlace& stack, const GridPlace& infile1,
                                       const GridPlace& infile2) noexcept {
  for (const auto& [lname, place] : {std::pair{"STACK1", stack}, std::pair{"INFILE1", infile1}}) {
    for (const std::string& line : grid_differences(lname, place, "INFILE2", infile2)) {
      kavro::XQWARN(PROGNAME, 0, 0, line);
      tell(line);
    }
  }
}

// INFILE1's type of a variable of INFILE2; a variable INFILE1 lacks is left to READ3.
int Comparison::infile1_type(std::string_view vname, int vtype2) const noexcept {
  const int v = kavro::INDEX1(vname, infile1_variables_.nvars,
                              std::span<const Name16>(infile1_variables_.names));
  return v == 0 ? vtype2 : infile1_variables_.types[static_cast<std::size_t>(v - 1)];
}

void Comparison::allocate_data_arrays(const GridFrame& grid, int nvars) noexcept {
  const std::size_t widest = widest_value(nvars);
  arrays_.INCONC = allocate(grid.ncols, grid.nrows, grid.nlays, widest, arrays_.data_bytes);
  arrays_.ALTCONC = allocate(grid.ncols, grid.nrows, grid.nlays, widest, arrays_.data_bytes);
  std::size_t bytes = 0;
  arrays_.scratch.found =
      static_cast<std::size_t*>(allocate(grid.ncols, grid.nrows, 1, sizeof(std::size_t), bytes));
  arrays_.scratch.sorted =
      static_cast<std::size_t*>(allocate(grid.ncols, grid.nrows, 1, sizeof(std::size_t), bytes));
  arrays_.scratch.column_starts =
      static_cast<std::size_t*>(allocate(grid.ncols, 1, 1, sizeof(std::size_t), bytes));
}

// The block of kept report texts, where the grid fits the budget. A run with few reports never
// pays for it: calloc leaves its pages untouched until a text is written into them, and the
// cell loop keeps texts only for layers where most cells differ. Without the block (too
// large, or no memory) every report is formatted anew.
void Comparison::allocate_report_texts(const GridFrame& grid) noexcept {
  std::size_t cells = 0;
  if (!array_bytes(grid.ncols, grid.nrows, 1, 1, cells) ||
      cells > kReportTextBudget / kReportSize) {
    return;
  }
  kept_.texts = static_cast<char*>(std::calloc(cells == 0 ? 1 : cells, kReportSize));
  arrays_.scratch.kept = &kept_;
}

// Counts a step's reports. Once the run has written more reports than a layer has cells,
// cells are being reported again and again (runs that diverged): from then on every layer's
// report texts are kept.
void Comparison::count_reports(std::size_t n, const GridFrame& grid) noexcept {
  reports_written_ += n;
  std::size_t cells = 0;
  if (array_bytes(grid.ncols, grid.nrows, 1, 1, cells) && reports_written_ > cells) {
    kept_.every_layer = true;
  }
}

Locations Comparison::location_view() const noexcept {
  return {static_cast<const float*>(arrays_.location[0]),
          static_cast<const float*>(arrays_.location[1]),
          static_cast<const std::int32_t*>(arrays_.location[2]),
          static_cast<const std::int32_t*>(arrays_.location[3]),
          static_cast<const float*>(arrays_.location[4]),
          static_cast<const float*>(arrays_.location[5])};
}

// Reports written so far reach standard output before the outputs' log lines. Standard output
// closed before the run is /dev/null now: reports written there are lost, which is a failed
// write too.
void Comparison::flush_reports() noexcept {
  if (!reports_.flush()) fail(Mesg{kWriteFailure});
  if (reports_written_ > 0 && kavro::standard_output_lost()) fail(Mesg{kWriteFailure});
}

// One variable at every step of INFILE2, from INFILE2's start.
void Comparison::compare_variable(std::size_t v, const GridFrame& grid, int TSTEP, int nsteps,
                                  Outputs* outputs) noexcept {
  const std::string_view vname = CDESC3.VNAME3D[v].padded();
  const int vtype = BDESC3.VTYPE3D[v];
  int JDATE = BDESC3.SDATE3D;
  int JTIME = BDESC3.STIME3D;
  if (outputs != nullptr) outputs->begin_variable(vname, CDESC3.UNITS3D[v].padded(), vtype);
  if (nsteps <= 0) return;
  Mesg mesg;
  if (!check_variable_types(vname, infile1_type(vname, vtype), vtype, mesg)) fail(mesg);
  const Locations loc = location_view();
  // The step's values fit the buffers, which hold the widest type's.
  std::size_t step_bytes = 0;
  (void)array_bytes(grid.ncols, grid.nrows, grid.nlays, value_bytes(vtype), step_bytes);
  for (int step = 0; step < nsteps; ++step) {
    if (!settings_.steps.holds(JDATE, JTIME) ||
        (settings_.only_common && !axis_holds(infile1_axis_, JDATE, JTIME))) {
      kavro::NEXTIME(JDATE, JTIME, TSTEP);
      continue;
    }
    flush_reports();
    // The values are compared as the files store them where both reads left them so.
    kavro::ValueOrder order1{}, order2{};
    if (!read(INFILE1, vname, ALLAYS3, JDATE, JTIME, arrays_.INCONC, arrays_.data_bytes, &order1)) {
      fail_on_file(INFILE1, read_failure_message(INFILE1));
    }
    if (!read(INFILE2, vname, ALLAYS3, JDATE, JTIME, arrays_.ALTCONC, arrays_.data_bytes,
              &order2)) {
      fail_on_file(INFILE2, read_failure_message(INFILE2));
    }
    if (order1 != order2) {
      void* reversed = order1 == kavro::ValueOrder::reversed ? arrays_.INCONC : arrays_.ALTCONC;
      reverse_value_bytes(reversed, step_bytes, vtype);
    }
    if (outputs != nullptr) outputs->begin_step(JDATE, JTIME);
    count_reports(
        compare_step(vtype, arrays_.INCONC, arrays_.ALTCONC, grid, loc, arrays_.scratch, reports_,
                     outputs, order1 == order2 ? order1 : kavro::ValueOrder::native),
        grid);
    if (outputs != nullptr && !outputs->end_step(mesg)) fail(mesg);
    kavro::NEXTIME(JDATE, JTIME, TSTEP);
  }
  if (outputs == nullptr) return;
  flush_reports();
  if (!outputs->end_variable(mesg)) fail(mesg);
}

// The steps of INFILE2 that BRINDLEWICK_STEPS lets through, for the JSON result.
void Comparison::find_steps(int TSTEP, int nsteps) {
  int JDATE = BDESC3.SDATE3D;
  int JTIME = BDESC3.STIME3D;
  for (int step = 0; step < nsteps; ++step) {
    if (settings_.steps.holds(JDATE, JTIME)) steps_.push_back({JDATE, JTIME});
    kavro::NEXTIME(JDATE, JTIME, TSTEP);
  }
}

// INFILE2's steps and how many of them BRINDLEWICK_STEPS selects.
struct StepCount {
  int compared = 0;
  int last_date = 0;
  int last_time = 0;
};

StepCount count_steps(const StepRange& range, int TSTEP, int nsteps) noexcept {
  StepCount count;
  int JDATE = BDESC3.SDATE3D;
  int JTIME = BDESC3.STIME3D;
  for (int step = 0; step < nsteps; ++step) {
    count.compared += range.holds(JDATE, JTIME) ? 1 : 0;
    count.last_date = JDATE;
    count.last_time = JTIME;
    kavro::NEXTIME(JDATE, JTIME, TSTEP);
  }
  return count;
}

// A selection that selects none of the steps INFILE2 holds is refused before any report.
void Comparison::check_steps_selected(int TSTEP, int nsteps) noexcept {
  if (!settings_.steps.set || nsteps <= 0) return;
  const StepCount count = count_steps(settings_.steps, TSTEP, nsteps);
  if (count.compared > 0) return;
  std::array<char, Mesg::size() + 1> text{};
  std::snprintf(text.data(), text.size(),
                "%.*s selects none of the %d steps of \"INFILE2\", %d:%06d to %d:%06d",
                static_cast<int>(kStepsSetting.size()), kStepsSetting.data(), nsteps,
                BDESC3.SDATE3D, BDESC3.STIME3D, count.last_date, count.last_time);
  fail(Mesg{text.data()});
}

// How many of INFILE2's steps BRINDLEWICK_STEPS leaves out, for the log.
std::string Comparison::steps_line(int TSTEP, int nsteps) const {
  const int compared = count_steps(settings_.steps, TSTEP, nsteps).compared;
  const int total = nsteps < 0 ? 0 : nsteps;
  return "Steps compared: " + std::to_string(compared) + " of " + std::to_string(total) + "; " +
         std::to_string(total - compared) + " outside " + std::string(kStepsSetting) + " skipped";
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
  mesg = Mesg{std::string(f == nullptr ? "Could not create" : "Could not write") + " JSON file \"" +
              settings_.json_path + "\""};
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
  GridPlace stack_place;
  FileShape stack{};
  if (source_ != LocationSource::kGrid) {
    open_and_describe(STACK1);
    stack_place = description_place();
    stack = read_locations();
  }

  open_and_describe(INFILE1);
  const FileShape infile1 = description_shape();
  const GridPlace infile1_place = description_place();
  check_shape(INFILE1, infile1);
  keep_infile1_variables();

  open_and_describe(INFILE2);
  const FileShape infile2 = description_shape();
  check_shape(INFILE2, infile2);
  if (source_ == LocationSource::kGrid) {
    stack = infile2;
    stack_place = description_place();
    compute_locations(infile2);
  }
  if (!check_same_grid(stack, infile1, infile2, mesg)) fail(mesg);
  if (!check_same_layers(infile1, infile2, mesg)) fail(mesg);
  warn_grid_differences(stack_place, infile1_place, description_place());
  check_variables();
  if (settings_.only_common) list_uncommon();

  // From here on everything comes from INFILE2's description, taken once.
  const int TSTEP = step_length(BDESC3.TSTEP3D);
  const int nsteps = BDESC3.MXREC3D;
  const int nvars = description_nvars();
  const GridFrame grid{infile2.ncols,  infile2.nrows,  infile2.nlays, BDESC3.XORIG3D,
                       BDESC3.YORIG3D, BDESC3.XCELL3D, BDESC3.YCELL3D};
  allocate_data_arrays(grid, nvars);
  allocate_report_texts(grid);

  // Without any of the optional settings the comparison runs exactly as it always has.
  Outputs extras(settings_, grid, location_view(), reports_);
  Outputs* outputs = settings_.any() ? &extras : nullptr;
  check_steps_selected(TSTEP, nsteps);
  find_steps(TSTEP, nsteps);
  if (settings_.steps.set) kavro::XQMSG2(steps_line(TSTEP, nsteps));
  if (outputs != nullptr && !outputs->start(mesg)) fail(mesg);
  for (std::size_t v = 0; v < static_cast<std::size_t>(nvars); ++v) {
    if (compared(CDESC3.VNAME3D[v].padded())) {
      compare_variable(v, grid, TSTEP, nsteps, outputs);
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

}  // namespace

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
