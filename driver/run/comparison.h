// One comparison run, shared by the files that carry it out: opening and describing the files
// into values of their own and reading the location data (run_files.cpp), the plan's walk over
// variables and steps (run_steps.cpp), and the run's verdict, outputs and ending (run.cpp).
#ifndef BRINDLEWICK_COMPARISON_H
#define BRINDLEWICK_COMPARISON_H

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kavro/kavro.h"
#include "outputs/json_result.h"
#include "outputs/outputs.h"
#include "run/compare.h"
#include "run/described.h"
#include "run/plan.h"
#include "run/run.h"
#include "run/settings.h"
#include "run/verdict.h"

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
  // HINT, when given, follows the reason on standard error and in the JSON result.
  [[noreturn]] void fail_on_file(const kavro::Name16& lname, const Mesg& MESG,
                                 std::string_view hint = {}) noexcept;
  bool read(const kavro::Name16& lname, std::string_view vname, int layer, int JDATE, int JTIME,
            void* buffer, std::size_t bytes, kavro::ValueOrder* order = nullptr) noexcept;
  [[noreturn]] void stop_allocating() noexcept;
  void* allocate(int ncols, int nrows, int nlays, std::size_t per_cell,
                 std::size_t& bytes) noexcept;
  void open_files() noexcept;
  Described open_and_describe(const kavro::Name16& lname) noexcept;
  void tell_file_gaps(std::string_view lname) const;
  void check_shape(const kavro::Name16& lname, const FileShape& shape) noexcept;
  void check_location_types(const Described& stack) noexcept;
  void read_locations(const Described& stack) noexcept;
  void compute_locations(const Described& grid) noexcept;
  void check_variables() noexcept;
  void say_plan() noexcept;
  void warn_grid_differences(const GridPlace& stack) noexcept;
  int infile1_type(std::string_view vname, int vtype2) const noexcept;
  void allocate_data_arrays(const GridFrame& grid) noexcept;
  void allocate_report_texts(const GridFrame& grid) noexcept;
  void count_reports(std::size_t n, const GridFrame& grid) noexcept;
  Locations location_view() const noexcept;
  void flush_reports() noexcept;
  void compare_variable(const DescribedVariable& var, const GridFrame& grid,
                        Outputs* outputs) noexcept;
  std::string steps_line() const;
  void check_steps_selected() noexcept;
  std::vector<StepTime> compared_steps() const;
  [[nodiscard]] bool write_json(std::string_view status, std::string_view reason,
                                std::span<const VariableStats> variables, const Verdict* verdict,
                                Mesg& mesg) noexcept;
  void write_failed_json(std::string_view reason) noexcept;
  void tell_verdict(const Verdict& verdict, std::span<const VariableStats> stats) noexcept;
  [[noreturn]] void complete(int status) noexcept;

  // Whether the log has a file of its own (not standard output): the person at the terminal
  // then learns from standard error too why a run failed and what it found.
  const bool log_apart_;
  const LocationSource source_;
  Settings settings_;
  Arrays arrays_;
  // The three files as described, and what the run compares.
  Described stack_;
  Described infile1_;
  Described infile2_;
  Plan plan_;
  bool planned_ = false;
  ReportWriter reports_{stdout};
  // Reports written so far, and the texts kept.
  std::size_t reports_written_ = 0;
  KeptTexts kept_;
  // Which of the plan's steps a variable was compared at; whether the JSON result was tried.
  std::vector<bool> step_compared_;
  bool json_tried_ = false;
};

}  // namespace brindlewick

#endif  // BRINDLEWICK_COMPARISON_H
