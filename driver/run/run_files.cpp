#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kavro/kavro.h"
#include "options/file_names.h"
#include "run/comparison.h"

namespace brindlewick {

using kavro::ALLAYS3;
using kavro::Name16;

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
// the library. A netCDF file that does not open or describe is told with all it lacks. The
// file is taken into a value of its own as soon as it is described.
Described Comparison::open_and_describe(const Name16& lname) noexcept {
  kavro::clear_file_failure();
  if (!kavro::OPEN3(lname, kavro::FSREAD3, PROGNAME)) {
    tell_file_gaps(lname.trimmed());
    fail_on_file(lname, open_failure_message(lname));
  }
  kavro::clear_file_failure();
  if (!kavro::DESC3(lname)) {
    tell_file_gaps(lname.trimmed());
    fail_on_file(lname, Mesg{kDescFailure});
  }
  return describe_record(lname.trimmed());
}

// Everything a netCDF file lacks of the layout, in one line on standard error.
void Comparison::tell_file_gaps(std::string_view lname) const {
  const std::string name(lname);
  const char* value = std::getenv(name.c_str());
  std::string_view path = value == nullptr ? lname : kavro::trimmed(value);
  // A value of another kind (native binary, list, memory-resident) has no netCDF layout.
  for (const kavro::ValuePrefix& p : kavro::value_prefixes()) {
    if (path.size() >= p.prefix.size() &&
        std::equal(p.prefix.begin(), p.prefix.end(), path.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) ==
                 std::toupper(static_cast<unsigned char>(b));
        })) {
      return;
    }
  }
  if (path.ends_with(" -v")) path = kavro::trimmed(path.substr(0, path.size() - 3));
  // Only a regular file: opening a FIFO would wait for a writer.
  struct stat st {};
  if (::stat(std::string(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  const std::vector<std::string> gaps = kavro::file_gaps(std::string(path));
  if (gaps.empty()) return;
  const std::string line = kavro::file_gaps_line(path, gaps);
  std::fprintf(stderr, "brindlewick: %s\n", line.c_str());
}

void Comparison::check_shape(const Name16& lname, const FileShape& shape) noexcept {
  Mesg mesg;
  if (!check_gridded(lname, shape, mesg)) fail(mesg);
}

// A location variable absent from STACK1 is left to READ3, whose failure names the file.
void Comparison::check_location_types(const Described& stack) noexcept {
  Mesg mesg;
  for (const LocationVariable& var : kLocationVariables) {
    const int v = stack.find(var.name);
    if (v < 0) continue;
    const int vtype = stack.variables[static_cast<std::size_t>(v)].vtype;
    if (!check_location_type(var.name, var.vtype, vtype, mesg)) fail(mesg);
  }
}

// STACK1's location data, one value per cell. A multi-layer STACK1 gives its
// first layer; a STACK1 without layers cannot give layer 1, and READ3 says so.
void Comparison::read_locations(const Described& stack) noexcept {
  check_shape(STACK1, stack.shape);
  check_location_types(stack);
  for (void*& array : arrays_.location) {
    array =
        allocate(stack.shape.ncols, stack.shape.nrows, 1, sizeof(float), arrays_.location_bytes);
  }
  const int layer = stack.shape.nlays == 1 ? ALLAYS3 : 1;
  for (std::size_t i = 0; i < kLocationVariables.size(); ++i) {
    if (!read(STACK1, kLocationVariables[i].name, layer, stack.axis.sdate, stack.axis.stime,
              arrays_.location[i], arrays_.location_bytes)) {
      fail_on_file(STACK1, read_failure_message(STACK1));
    }
  }
}

// Without a location file: INFILE2's grid gives the locations, stored as a location file
// stores them (REAL and INTEGER).
void Comparison::compute_locations(const Described& file) noexcept {
  const FileShape& grid = file.shape;
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
  const kavro::GridMapping& mapping = file.mapping;
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

// Opens STACK1 (unless INFILE2's grid gives the locations), INFILE1 and INFILE2, each
// described into a value of its own, reads or computes the location data, checks that the
// files agree and plans the comparison.
void Comparison::open_files() noexcept {
  Mesg mesg;
  if (source_ != LocationSource::kGrid) {
    stack_ = open_and_describe(STACK1);
    read_locations(stack_);
  }

  infile1_ = open_and_describe(INFILE1);
  check_shape(INFILE1, infile1_.shape);

  infile2_ = open_and_describe(INFILE2);
  check_shape(INFILE2, infile2_.shape);
  if (source_ == LocationSource::kGrid) {
    stack_.shape = infile2_.shape;
    stack_.place = infile2_.place;
    compute_locations(infile2_);
  }
  if (!check_same_grid(stack_.shape, infile1_.shape, infile2_.shape, mesg)) fail(mesg);
  if (!check_same_layers(infile1_.shape, infile2_.shape, mesg)) fail(mesg);
  plan_ = make_plan(infile1_, infile2_, settings_);
  planned_ = true;
  warn_grid_differences(stack_.place);
  check_variables();
  say_plan();
}

}  // namespace brindlewick
