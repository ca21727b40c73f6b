// Creates a small gridded file through the C++ interface (kavro/file.h), writes three hourly
// steps of one variable, reopens the file, reads the steps back and prints a summary. The file
// is the path given as the argument (default write_grid.nc), replaced if it exists.
//
//   LOGFILE=/dev/null ./write_grid out.nc
#include <kavro/file.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "write_grid.nc";
  try {
    kavro::Description d;
    d.file_type = kavro::GRDDED3;
    d.grid = {"EXAMPLE_GRID", 4, 3, 0, -24000, -18000, 12000, 12000};
    d.projection = {2, 30, 60, -90, -90, 40};
    d.time = {{2024033, 0}, 10000, 0};
    d.vertical = {2, 7, 5000, {1.0F, 0.5F, 0.0F}};
    d.variables = {{"T2", "K", "temperature", kavro::ValueType::real}};
    d.lines = {"Written by the write_grid example"};

    const std::size_t cells = 4 * 3 * 2;
    {
      kavro::File out = kavro::File::create(path, d, kavro::Mode::create_replace);
      kavro::Step step = d.time.start;
      for (int k = 0; k < 3; ++k, step.advance(d.time.step)) {
        std::vector<float> t2(cells);
        for (std::size_t i = 0; i < cells; ++i) t2[i] = 280.0F + static_cast<float>(k + i) * 0.5F;
        out.write("T2", step, t2);
      }
    }  // closed here

    const kavro::File in = kavro::File::open_path(path);
    const kavro::Description back = in.description();
    std::printf("%s: %d x %d x %d, %zu variable(s), %zu steps\n", back.grid.name.c_str(),
                back.grid.ncols, back.grid.nrows, back.vertical.layers, back.variables.size(),
                in.steps().size());
    for (const kavro::Step s : in.steps()) {
      const std::vector<float> t2 = in.read<float>("T2", kavro::ALLAYS3, s);
      float lo = t2.front(), hi = t2.front();
      for (float v : t2) {
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
      }
      std::printf("T2 at %d:%06d: %zu values from %g to %g\n", s.date, s.time, t2.size(),
                  static_cast<double>(lo), static_cast<double>(hi));
    }
  } catch (const kavro::Error& e) {
    std::fprintf(stderr, "write_grid: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "write_grid: %s\n", e.what());
    return 2;
  }
  return 0;
}
