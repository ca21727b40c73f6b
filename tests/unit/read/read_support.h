// Read tests start from a fixture file written with the raw netCDF C API and installed in a
// slot the way the opener leaves it, so reading is tested independently of opening.
#ifndef KAVRO_TESTS_UNIT_READ_READ_SUPPORT_H
#define KAVRO_TESTS_UNIT_READ_READ_SUPPORT_H

#include <netcdf.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/state.h"
#include "gridwriter/fixture_writer.h"
#include "kavro/kavro.h"
#include "support/test_env.h"

namespace kavro_test {

// A variable of the fixture file.
inline FixtureVar var(const std::string& name, int type = kReal) {
  FixtureVar v;
  v.name = name;
  v.type = type;
  return v;
}

// Test fixture: files written per test, installed into slots, closed afterwards.
class ReadTest : public LibraryTest {
 protected:
  ~ReadTest() override {
    for (int ncid : open_) nc_close(ncid);
  }

  // Writes FX as file NAME and installs it in slot SLOT under logical name NAME, opened
  // read-only (or for writing). Returns the slot, 0 on failure.
  int install(const FixtureSpec& fx, const std::string& name, int slot = 1, bool writable = false) {
    const std::string path = dir().file(name + ".nc");
    if (!write_fixture(path, fx)) return 0;
    return install_path(path, fx, name, slot, writable);
  }

  int install_path(const std::string& path, const FixtureSpec& fx, const std::string& name,
                   int slot, bool writable) {
    using namespace kavro;
    INIT3();
    int ncid = -1;
    if (nc_open(path.c_str(), writable ? NC_WRITE : NC_NOWRITE, &ncid) != NC_NOERR) return 0;
    open_.push_back(ncid);
    auto& b = state().b;
    auto& c = state().c;
    c.FLNAME3(slot) = name;
    b.NCID3(slot) = ncid;
    b.FTYPE3(slot) = fx.ftype;
    b.SDATE3(slot) = fx.sdate;
    b.STIME3(slot) = fx.stime;
    b.TSTEP3(slot) = fx.tstep;
    b.NVARS3(slot) = static_cast<int>(fx.vars.size());
    b.NCOLS3(slot) = fx.ncols;
    b.NROWS3(slot) = fx.nrows;
    b.NLAYS3(slot) = fx.nlays;
    b.NTHIK3(slot) = fx.nthik;
    b.TFLAGID3(slot) = varid(ncid, "TFLAG");
    b.CNTVID3(slot) = varid(ncid, "ID-COUNT");
    b.IDVID3(slot) = varid(ncid, fx.ftype == kSmatrx ? "COL-COUNT" : "ID");
    b.LEVVID3(slot) = varid(ncid, fx.ftype == kSmatrx   ? "COEFF-INDEX"
                                  : fx.ftype == kGrnest ? "WIN-LEVS"
                                                        : "LEVEL-COUNT");
    b.WCOLVID3(slot) = varid(ncid, "WIN-COLS");
    b.WROWVID3(slot) = varid(ncid, "WIN-ROWS");
    b.XVID3(slot) = varid(ncid, "X");
    b.YVID3(slot) = varid(ncid, "Y");
    b.ZVID3(slot) = varid(ncid, "Z");
    b.DXVID3(slot) = varid(ncid, "DX");
    b.DYVID3(slot) = varid(ncid, "DY");
    for (std::size_t v = 0; v < fx.vars.size(); ++v) {
      const int k = static_cast<int>(v) + 1;
      c.VLIST3D(k, slot) = fx.vars[v].name;
      b.VARID3(k, slot) = varid(ncid, fx.vars[v].name.c_str());
      b.VTYPE3(k, slot) = fx.vars[v].type;
    }
    if (b.LASTFID3 < slot) b.LASTFID3 = slot;
    return slot;
  }

  static int varid(int ncid, const char* name) {
    int id = -1;
    return nc_inq_varid(ncid, name, &id) == NC_NOERR ? id : -1;
  }

  // Overwrites the flag pair of every variable of record REC with (DATE, TIME).
  static bool set_flags(const std::string& path, int rec, int nvars, int date, int time) {
    int ncid = -1;
    if (nc_open(path.c_str(), NC_WRITE, &ncid) != NC_NOERR) return false;
    std::vector<int> pairs;
    for (int v = 0; v < nvars; ++v) pairs.insert(pairs.end(), {date, time});
    const std::size_t start[3] = {static_cast<std::size_t>(rec - 1), 0, 0};
    const std::size_t count[3] = {1, static_cast<std::size_t>(nvars), 2};
    const int status = nc_put_vara_int(ncid, varid(ncid, "TFLAG"), start, count, pairs.data());
    return nc_close(ncid) == NC_NOERR && status == NC_NOERR;
  }

  // The log lines from line FIRST on.
  std::vector<std::string> log_from(std::size_t first) const {
    const auto all = log_lines();
    return first < all.size() ? std::vector<std::string>(all.begin() + long(first), all.end())
                              : std::vector<std::string>{};
  }

 private:
  std::vector<int> open_;
};

// A buffer of 4-byte words, 8-byte aligned, filled with a sentinel, read back by word.
class WordBuffer {
 public:
  static constexpr std::uint32_t kSentinel = 0xDEADBEEF;
  explicit WordBuffer(std::size_t words) : words_((words + 1) / 2 + 1) {
    for (std::size_t i = 0; i < words * 4; i += 4) std::memcpy(bytes() + i, &kSentinel, 4);
    size_ = words;
  }
  void* data() { return words_.data(); }
  std::size_t bytes_size() const { return size_ * 4; }
  // Word W, 1-based.
  std::uint32_t raw(std::size_t w) const { return get<std::uint32_t>(w); }
  int i(std::size_t w) const { return get<int>(w); }
  float f(std::size_t w) const { return get<float>(w); }
  double d(std::size_t w) const { return get<double>(w); }
  // Words FIRST .. LAST all still hold the sentinel.
  bool untouched(std::size_t first, std::size_t last) const {
    for (std::size_t w = first; w <= last; ++w)
      if (raw(w) != kSentinel) return false;
    return true;
  }

 private:
  template <typename T>
  T get(std::size_t w) const {
    T v;
    std::memcpy(&v, cbytes() + (w - 1) * 4, sizeof v);
    return v;
  }
  unsigned char* bytes() { return reinterpret_cast<unsigned char*>(words_.data()); }
  const unsigned char* cbytes() const {
    return reinterpret_cast<const unsigned char*>(words_.data());
  }
  std::vector<double> words_;
  std::size_t size_ = 0;
};

}  // namespace kavro_test

#endif  // KAVRO_TESTS_UNIT_READ_READ_SUPPORT_H
