#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "comparison.h"
#include "file_names.h"
#include "kavro/kavro.h"

namespace brindlewick {

using kavro::ALLAYS3;
using kavro::BDESC3;
using kavro::CDESC3;
using kavro::MXVARS3;
using kavro::Name16;

namespace {

int described_type(std::string_view vname) noexcept {
  const int n = description_nvars();
  for (int v = 0; v < n; ++v) {
    if (kavro::padded_equal(vname, CDESC3.VNAME3D[static_cast<std::size_t>(v)].padded())) {
      return BDESC3.VTYPE3D[static_cast<std::size_t>(v)];
    }
  }
  return 0;
}

}  // namespace

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

// Opens STACK1 (unless INFILE2's grid gives the locations), INFILE1 and INFILE2, reads or
// computes the location data and checks that the files agree; returns INFILE2's shape, whose
// description stays in force.
FileShape Comparison::open_files() noexcept {
  Mesg mesg;
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
  return infile2;
}

}  // namespace brindlewick
