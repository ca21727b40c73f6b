// Shared fixture of the native binary tests: the description of the example file (2
// variables, REAL and DOUBLE PRECISION, 3 x 2 cells, 4 layers), a slot set up the way OPEN3
// leaves it, records written with the module's own writer, and the file's bytes read back
// independently of the module.
#ifndef KAVRO_TESTS_UNIT_BINARY_BINARY_SUPPORT_H
#define KAVRO_TESTS_UNIT_BINARY_BINARY_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/syscalls.h"
#include "kavro/kavro.h"
#include "support/desc_builder.h"
#include "support/fault_walk.h"
#include "support/test_env.h"

namespace kavro_test {

// PREFIX followed by N ("V2"), appended rather than concatenated: GCC 12 at -O2 sees a
// false overlap in `"V" + std::to_string(n)`.
inline std::string numbered(const char* prefix, int n) {
  std::string s(prefix);
  s.append(std::to_string(n));
  return s;
}

// Little-endian integer at byte AT of BYTES.
inline int le_int(const std::string& bytes, std::size_t at) {
  unsigned int u = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    u |= static_cast<unsigned int>(static_cast<unsigned char>(bytes.at(at + i))) << (8 * i);
  }
  return static_cast<int>(u);
}

inline void set_le_int(std::string& bytes, std::size_t at, int value) {
  const auto u = static_cast<unsigned int>(value);
  for (std::size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>((u >> (8 * i)) & 0xFFU);
}

template <typename T>
T raw_value(const std::string& bytes, std::size_t at) {
  T v{};
  std::memcpy(&v, bytes.data() + at, sizeof(T));
  return v;
}

class BinaryTest : public LibraryTest {
 protected:
  void SetUp() override {
    kavro::INIT3();
    kavro::test_hooks::clear_failures();
    baseline_ = kavro::test_hooks::held();
  }
  void TearDown() override { kavro::test_hooks::clear_failures(); }

  // Streams and blocks held now beyond those held once the library started (the log's).
  long streams_open() const { return kavro::test_hooks::held().streams - baseline_.streams; }
  long blocks_held() const { return kavro::test_hooks::held().blocks - baseline_.blocks; }

  // A walk of every failure point of RUN (1: success), the log being the text it writes.
  FaultWalk walk_of(std::function<bool()> run) const {
    return {.op = Op::kAny,
            .run = std::move(run),
            .text = [this] { return log_text(); },
            .line_prefix = "     "};
  }

  // The description record of a file of type FTYPE: NVARS variables alternating REAL and
  // DOUBLE PRECISION (the last INTEGER when there are three or more).
  static void describe(int ftype = kavro::GRDDED3, int ncols = 3, int nrows = 2, int nlays = 4,
                       int nvars = 2, int nthik = 1) {
    using namespace kavro;
    std::vector<DescVariable> vars;
    for (int v = 0; v < nvars; ++v) {
      const int type = (v >= 2 && v == nvars - 1) ? XQINT : (v % 2 == 0) ? XQREAL : XQDBLE;
      vars.push_back({numbered("V", v + 1), type, "ppmV", numbered("variable ", v + 1)});
    }
    std::vector<float> levels;
    // As many levels as the record holds: NLAYS past MXLEVS3 - 1 is a refusal under test.
    for (int l = 0; l <= nlays && l < MXLEVS3; ++l) levels.push_back(1.0F - 0.25F * float(l));
    DescBuilder()
        .file_type(ftype)
        .cells(ncols, nrows, nlays)
        .thickness(nthik)
        .origin(-120000.0, -60000.0)
        .vertical({7, 5000.0F, levels})
        .grid_name("EXAMPLE_GRID")
        .updater("bintest")
        .execution("binary run")
        .file_line(0, "Native binary example")
        .update_line(1, "second update line")
        .variables(std::move(vars))
        .fill();
  }

  // Slot FID made ready for a native binary file of logical name LNAME, as OPEN3 leaves it.
  static void take_slot(int fid, const std::string& lname) {
    kavro::state().c.FLNAME3(fid) = lname;
    kavro::state().b.NCID3(fid) = kavro::BINFIL3;
  }

  // Creates PATH in slot FID from the description record.
  int create(const std::string& path, int fid = 1) {
    take_slot(fid, "BINFILE");
    return kavro::CRTBIN3(path.c_str(), fid, "bintest");
  }

  // The bytes of one whole record (all variables, all layers) of STEP: value k of a variable is
  // var*1000 + step*100 + k, in the variable's type.
  static std::vector<unsigned char> record_data(int step) {
    using namespace kavro;
    std::vector<unsigned char> out;
    const int laysize = state().b.LAYSIZE3(1);
    for (int v = 1; v <= BDESC3.NVARS3D; ++v) {
      const int t = BDESC3.VTYPE3D[std::size_t(v - 1)];
      for (int k = 0; k < laysize * BDESC3.NLAYS3D; ++k) {
        const double x = v * 1000 + step * 100 + k;
        unsigned char b[8];
        std::size_t n = 4;
        if (t == XQDBLE) {
          std::memcpy(b, &x, 8);
          n = 8;
        } else if (t == XQREAL) {
          const float f = float(x);
          std::memcpy(b, &f, 4);
        } else {
          const int i = int(x);
          std::memcpy(b, &i, 4);
        }
        out.insert(out.end(), b, b + n);
      }
    }
    return out;
  }

  // Steps 1..NSTEPS of the file in slot 1: flags (the step's date and time) and data.
  void write_steps(int nsteps) {
    for (int step = 1; step <= nsteps; ++step) {
      const int flags[2] = {2024033, (step - 1) * 10000};
      ASSERT_EQ(kavro::WRBVARS(1, kavro::ALLVAR3, step, record_data(step).data()), 1);
      ASSERT_EQ(kavro::WRBFLAG(1, kavro::ALLVAR3, step, flags), 1);
    }
  }

  // The example file with NSTEPS records written and closed; returns its path.
  std::string example_file(int nsteps = 3, const std::string& name = "example.bin") {
    describe();
    const std::string path = dir().file(name);
    EXPECT_EQ(create(path), 1);
    write_steps(nsteps);
    EXPECT_EQ(kavro::CLOSEBIN3(1), 1);
    kavro::detail::free_slot(1);
    return path;
  }

  // Whether the log holds the line TEXT (trailing blanks aside).
  bool logged(const std::string& text) const {
    for (std::string l : log_lines()) {
      l.erase(l.find_last_not_of(' ') + 1);
      if (l == "     " + text) return true;
    }
    return false;
  }

 private:
  kavro::test_hooks::Held baseline_{};
};

}  // namespace kavro_test

#endif  // KAVRO_TESTS_UNIT_BINARY_BINARY_SUPPORT_H
