// The C++ interface: an open file is an object that owns it, a description is a value, a
// failure is an exception. It stands on the library's routines (OPEN3, DESC3, READ3, WRITE3,
// CLOSE3), which stay the reference: the log is written exactly as they write it, and an
// Error carries the routine's name and the reason the log gives.
//
//   auto file = kavro::File::open("GRIDFILE");
//   const kavro::Description d = file.description();
//   for (kavro::Step s : file.steps()) {
//     std::vector<float> o3 = file.read<float>("O3", 1, s);
//   }
//
// Like the routines, the interface is single-threaded: no two calls may run at once.
#ifndef KAVRO_FILE_H
#define KAVRO_FILE_H

#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "kavro/params.h"

namespace kavro {

// A failure of the library: ROUTINE is the routine that reported it ("READ3", "RDTFLAG",
// "OPEN3", or the interface's own "File::read" for a request it refuses before any routine
// runs) and REASON the text the log gives for it. A failure of a file also has the file's
// PATH and a short CAUSE ("no such file", "not a netCDF file"), and its logical name when the
// caller gave one. what() is "ROUTINE: NAME (PATH): CAUSE", "ROUTINE: PATH: CAUSE" for a file
// opened by path, or "ROUTINE: REASON" when no file is concerned.
class Error : public std::runtime_error {
 public:
  Error(std::string routine, std::string reason);
  Error(std::string routine, std::string reason, std::string lname, std::string path,
        std::string cause);
  const std::string& routine() const noexcept { return routine_; }
  const std::string& reason() const noexcept { return reason_; }
  const std::string& logical_name() const noexcept { return lname_; }
  const std::string& path() const noexcept { return path_; }
  const std::string& cause() const noexcept { return cause_; }

 private:
  std::string routine_;
  std::string reason_;
  std::string lname_;
  std::string path_;
  std::string cause_;
};

// A model date and time: DATE is YYYYDDD, TIME is HHMMSS (0..235959). Steps compare by date,
// then time.
struct Step {
  int date = 0;
  int time = 0;

  friend constexpr bool operator==(const Step&, const Step&) = default;
  friend constexpr auto operator<=>(const Step&, const Step&) = default;

  // The step TSTEP (HHMMSS, may be negative) later, normalised (NEXTIME).
  Step next(int tstep) const noexcept;
  Step& advance(int tstep) noexcept;
};

// How a file is opened or created: the library's open modes.
enum class Mode : int {
  read = FSREAD3,           // an existing file, read-only
  read_write = FSRDWR3,     // an existing file, read and written
  create_new = FSNEW3,      // a new file; refused when it exists
  unknown = FSUNKN3,        // opened when it exists (its description must match), else created
  create_replace = FSCREA3  // created, replacing any file of that name
};

// The value types of variables.
enum class ValueType : int { integer = XQINT, real = XQREAL, double_precision = XQDBLE };

struct Variable {
  std::string name;         // at most 16 characters
  std::string units;        // at most 16
  std::string description;  // at most 80
  ValueType type = ValueType::real;

  friend bool operator==(const Variable&, const Variable&) = default;
};

// The horizontal grid: its name, shape and place in the projection's coordinates.
struct Grid {
  std::string name;  // at most 16 characters
  int ncols = 0;
  int nrows = 0;
  int nthik = 0;  // boundary thickness (boundary files)
  double xorig = 0, yorig = 0, xcell = 0, ycell = 0;

  friend bool operator==(const Grid&, const Grid&) = default;
};

struct Projection {
  int type = 0;  // GDTYP
  double alpha = 0, beta = 0, gamma = 0, xcent = 0, ycent = 0;

  friend bool operator==(const Projection&, const Projection&) = default;
};

// The time axis: the first step and the step length (HHMMSS; 0 for a time-independent file,
// negative for a file that keeps its two latest steps), and the records the file holds now
// (ignored by create).
struct TimeAxis {
  Step start;
  int step = 0;
  int records = 0;

  friend bool operator==(const TimeAxis&, const TimeAxis&) = default;
};

// The vertical coordinate: its type and top, and the layer boundaries (layers + 1 values).
struct Vertical {
  int layers = 1;
  int type = 0;  // VGTYP
  float top = 0;
  std::vector<float> levels;

  friend bool operator==(const Vertical&, const Vertical&) = default;
};

// What a file is: returned by File::description() and accepted by File::create.
struct Description {
  int file_type = GRDDED3;
  Grid grid;
  Projection projection;
  TimeAxis time;
  Vertical vertical;
  std::vector<Variable> variables;  // at most MXVARS3
  std::vector<std::string> lines;   // the file's description, at most MXDESC3 lines of 80

  friend bool operator==(const Description&, const Description&) = default;
};

// The element types a variable is read or written as.
template <typename T>
concept FileValue =
    std::same_as<T, std::int32_t> || std::same_as<T, float> || std::same_as<T, double>;

template <FileValue T>
constexpr ValueType value_type_of() noexcept {
  if constexpr (std::same_as<T, std::int32_t>) return ValueType::integer;
  if constexpr (std::same_as<T, float>) return ValueType::real;
  return ValueType::double_precision;
}

// One open file. The object owns it: the file is closed (CLOSE3) when the object goes; it can
// be moved, not copied. A moved-from object holds no file.
class File {
 public:
  // The file of logical name LOGICAL_NAME (at most 16 characters, looked up in the environment
  // as OPEN3 does).
  static File open(std::string_view logical_name, Mode mode = Mode::read);
  // The file PATH (any value a logical name may hold: a netCDF path, "BIN:path", ...): the
  // library gives it a logical name of its own.
  static File open_path(std::string_view path, Mode mode = Mode::read);
  // Creates the file described by DESC: NAME_OR_PATH is a logical name when the environment
  // defines it, otherwise a path as open_path takes it. MODE is create_new, unknown or
  // create_replace.
  static File create(std::string_view name_or_path, const Description& desc,
                     Mode mode = Mode::create_new);

  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Closes the file now; throws when CLOSE3 fails (the object holds no file afterwards).
  void close();
  bool is_open() const noexcept { return !name_.empty(); }
  // The logical name the file is open under.
  const std::string& logical_name() const noexcept { return name_; }

  Description description() const;
  // The steps the file holds, first to last: one step (the start) for a time-independent
  // file.
  std::vector<Step> steps() const;

  // The values of variable VAR at STEP: layer LAYER (1..layers) or every layer (ALLAYS3),
  // in the variable's own type, which T must be. For the file types whose records carry
  // per-step arrays (sites, profiles, nests, sparse matrices) only the variable's values.
  template <FileValue T>
  std::vector<T> read(std::string_view var, int layer, Step step) const {
    std::vector<T> out(value_count(var, layer));
    read_into(var, layer, step, value_type_of<T>(), std::as_writable_bytes(std::span<T>(out)));
    return out;
  }
  // The same into the caller's buffer, which must hold value_count(var, layer) values.
  template <FileValue T>
  void read(std::string_view var, int layer, Step step, std::span<T> out) const {
    read_into(var, layer, step, value_type_of<T>(), std::as_writable_bytes(out));
  }
  // Writes every layer of variable VAR at STEP (WRITE3): VALUES holds value_count(var,
  // ALLAYS3) values of the variable's type.
  template <FileValue T>
  void write(std::string_view var, Step step, std::span<const T> values) {
    write_from(var, step, value_type_of<T>(), std::as_bytes(values));
  }
  template <FileValue T>
  void write(std::string_view var, Step step, const std::vector<T>& values) {
    write(var, step, std::span<const T>(values));
  }
  // WRITE3 of a buffer laid out exactly as WRITE3 takes it (the per-step arrays of the file
  // type first, or every variable for "ALL"); its size must be what READ3 of all layers
  // fills.
  void write_raw(std::string_view var, Step step, std::span<const std::byte> buffer);

  // Values of VAR in one step: of layer LAYER, or of every layer (ALLAYS3).
  std::size_t value_count(std::string_view var, int layer) const;

 private:
  explicit File(std::string name) noexcept : name_(std::move(name)) {}
  void read_into(std::string_view var, int layer, Step step, ValueType type,
                 std::span<std::byte> out) const;
  void write_from(std::string_view var, Step step, ValueType type,
                  std::span<const std::byte> values);

  std::string name_;
};

}  // namespace kavro

#endif  // KAVRO_FILE_H
