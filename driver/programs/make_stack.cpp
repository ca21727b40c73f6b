// make_stack DATAFILE OUTFILE: writes a location file for DATAFILE's grid, the one brindlewick
// reads as STACK1: per cell LATITUDE, LONGITUDE, XLOCA, YLOCA (REAL) and COL, ROW (INTEGER),
// time-independent, one layer, on DATAFILE's grid and projection. The values are those the
// tool computes itself when it is given no location file, so its reports are the same either
// way. The file is written through the library (File::create and File::write).
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "kavro/kavro.h"

namespace {

constexpr std::string_view kHelp =
    R"(Usage: make_stack DATAFILE OUTFILE
       make_stack --help | -h

Writes OUTFILE, a location file for DATAFILE's grid: per cell LATITUDE, LONGITUDE, XLOCA,
YLOCA (REAL) and COL, ROW (INTEGER), time-independent, computed from the grid's projection
(GDTYP 1, 2, 4 to 10) on a sphere of KAVRO_EARTH_RADIUS metres (default 6370000). brindlewick
reads it as the location file (--stack OUTFILE, or STACK1); its reports are the same as without
one. DATAFILE is any file brindlewick compares; OUTFILE must not exist yet. The library's log
goes where LOGFILE says (unset: standard output).
)";

constexpr std::string_view kUsage = "usage: make_stack DATAFILE OUTFILE | --help";

// The six variables, in the order the tool reads them.
struct Column {
  const char* name;
  const char* units;
  const char* description;
  kavro::ValueType type;
};
constexpr Column kColumns[] = {
    {"LATITUDE", "degrees_north", "latitude of the cell centre", kavro::ValueType::real},
    {"LONGITUDE", "degrees_east", "longitude of the cell centre", kavro::ValueType::real},
    {"COL", "1", "column of the cell", kavro::ValueType::integer},
    {"ROW", "1", "row of the cell", kavro::ValueType::integer},
    {"XLOCA", "m", "projected x of the cell centre", kavro::ValueType::real},
    {"YLOCA", "m", "projected y of the cell centre", kavro::ValueType::real}};

// The location file's description: DATAFILE's grid and projection, one layer, no time axis.
kavro::Description stack_description(const kavro::Description& data, std::string_view path) {
  kavro::Description d;
  d.file_type = kavro::GRDDED3;
  d.grid = data.grid;
  d.projection = data.projection;
  d.time = {data.time.start, 0, 0};
  std::vector<float> levels = {1.0F, 0.0F};
  if (data.vertical.levels.size() >= 2)
    levels.assign(data.vertical.levels.begin(), data.vertical.levels.begin() + 2);
  d.vertical = {1, data.vertical.type, data.vertical.top, levels};
  for (const Column& c : kColumns) d.variables.push_back({c.name, c.units, c.description, c.type});
  d.lines = {"Cell locations of the grid of " + std::string(path).substr(0, 50),
             "written by make_stack"};
  return d;
}

void write_stack(const char* data_path, const char* out_path) {
  const kavro::Description data = kavro::File::open_path(data_path).description();
  const kavro::GridMapping grid = kavro::grid_mapping_of(data);
  const std::size_t cells = static_cast<std::size_t>(grid.NCOLS > 0 ? grid.NCOLS : 0) *
                            static_cast<std::size_t>(grid.NROWS > 0 ? grid.NROWS : 0);
  std::vector<std::vector<double>> v(std::size(kColumns), std::vector<double>(cells));
  if (!kavro::grid_locations(grid, {v[2], v[3], v[4], v[5], v[0], v[1]})) {
    throw kavro::Error("make_stack", "no locations for grid type " + std::to_string(grid.GDTYP) +
                                         " (" + std::string(kavro::grid_type_name(grid.GDTYP)) +
                                         ")");
  }
  const kavro::Description d = stack_description(data, data_path);
  kavro::File out = kavro::File::create(out_path, d, kavro::Mode::create_new);
  for (std::size_t i = 0; i < std::size(kColumns); ++i) {
    if (kColumns[i].type == kavro::ValueType::integer) {
      out.write(kColumns[i].name, d.time.start,
                std::vector<std::int32_t>(v[i].begin(), v[i].end()));
    } else {
      std::vector<float> values(cells);
      for (std::size_t c = 0; c < cells; ++c) values[c] = static_cast<float>(v[i][c]);
      out.write(kColumns[i].name, d.time.start, values);
    }
  }
  out.close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-' || argv[2][0] == '-') {
    std::fprintf(stderr, "make_stack: %.*s\n", static_cast<int>(kUsage.size()), kUsage.data());
    return 2;
  }
  try {
    write_stack(argv[1], argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_stack: %s\n", e.what());
    return 2;
  }
  return 0;
}
