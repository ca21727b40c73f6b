// One comparison run, shared by the files that carry it out: opening and describing the files
// and reading the location data (run_files.cpp), the walk over variables and steps
// (run_steps.cpp), and the run's outputs and ending (run.cpp).
#ifndef BRINDLEWICK_COMPARISON_H
#define BRINDLEWICK_COMPARISON_H

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compare.h"
#include "json_result.h"
#include "kavro/kavro.h"
#include "outputs.h"
#include "run.h"
#include "settings.h"

namespace brindlewick {

inline constexpr kavro::Name16 PROGNAME{"Brindlewick"};
inline constexpr kavro::Name16 STACK1{"STACK1"};
inline constexpr kavro::Name16 INFILE1{"INFILE1"};
inline constexpr kavro::Name16 INFILE2{"INFILE2"};

// The location variables of STACK1, in the order they are read, with their documented types.
struct LocationVariable {
  std::string_view name;
  int vtype;
};
inline constexpr std::array<LocationVariable, 6> kLocationVariables = {
    {{"LATITUDE", kavro::XQREAL},
     {"LONGITUDE", kavro::XQREAL},
     {"COL", kavro::XQINT},
     {"ROW", kavro::XQINT},
     {"XLOCA", kavro::XQREAL},
     {"YLOCA", kavro::XQREAL}}};

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
  std::array<kavro::Name16, kavro::MXVARS3> names;
  std::array<int, kavro::MXVARS3> types{};
};

// A file's steps: the first, the step and how many.
struct StepAxis {
  int sdate = 0, stime = 0, tstep = 0, nrec = 0;
};

// What the description record in force (the last DESC3's) says of its file: the steps, the
// number of variables (within the table), the shape and where the grid lies.
StepAxis description_axis() noexcept;
int description_nvars() noexcept;
FileShape description_shape() noexcept;
GridPlace description_place() noexcept;

// A negative step marks a file that keeps its two latest steps in turn; its steps still
// advance in time, by the step's magnitude.
int step_length(int tstep) noexcept;

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
  [[noreturn]] void fail_on_file(const kavro::Name16& lname, const Mesg& MESG) noexcept;
  bool read(const kavro::Name16& lname, std::string_view vname, int layer, int JDATE, int JTIME,
            void* buffer, std::size_t bytes, kavro::ValueOrder* order = nullptr) noexcept;
  [[noreturn]] void stop_allocating() noexcept;
  void* allocate(int ncols, int nrows, int nlays, std::size_t per_cell,
                 std::size_t& bytes) noexcept;
  FileShape open_files() noexcept;
  void open_and_describe(const kavro::Name16& lname) noexcept;
  void tell_layout_gaps(std::string_view lname) const;
  void check_shape(const kavro::Name16& lname, const FileShape& shape) noexcept;
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

}  // namespace brindlewick

#endif  // BRINDLEWICK_COMPARISON_H
