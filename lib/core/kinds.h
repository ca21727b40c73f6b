// The file kinds: netCDF, file list, native binary, memory-resident, virtual. Everything that
// differs by kind is one row of operations here, and the kind-neutral routines (OPEN3,
// OPNFIL3, CRTFIL3, CHKFIL3, DESC3, SYNCFID, RDTFLAG, READ3, RDVARS, WRITE3, CLOSE3, SHUT3,
// OPNLOG3) call through the row of the slot, found by kind_of(), and include no kind's headers.
// A new kind adds its files and one row.
//
// The rows are listed explicitly once, by list_kinds() (lib/kind_list.*, the one file that
// knows every kind), which INIT3 (defined there too) calls before it starts the library;
// nothing registers itself from a static initialiser.
// Every operation of a row is set: what a row does not name is the default of a kind with
// nothing of its own to do.
#ifndef KAVRO_CORE_KINDS_H
#define KAVRO_CORE_KINDS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/msgbuf.h"
#include "kavro/fixed_string.h"

namespace kavro {

// START and COUNT of a variable transfer: in the order of the variable's netCDF dimensions,
// fastest varying first, 1-based starts; entries past the variable's rank are 0. The last used
// entry is the time step (START the record, COUNT 1).
using SlabVector = std::array<int, 5>;

// One variable read of a transfer, as every kind may address it: START, COUNT and SIZE (the
// values of one variable) in the order of the variable's netCDF dimensions, and the same
// request as the LAYER (or ALLAYS3) and the RECORD, for a kind that stores its files by layer
// and record.
struct VarRead {
  SlabVector start{};
  SlabVector count{};
  std::int64_t size = 0;
  int layer = 0;
  int record = 0;
  // Where the reader may leave one variable's values as the file stores them (each value's
  // bytes reversed) when that saves a pass over them: set true when it did. Null: the values
  // go into the buffer in the machine's order.
  bool* stored_order_left = nullptr;
};

// Access flags of OPNFIL3 and of a kind's opener.
inline constexpr int kReadOnlyAccess = 0;
inline constexpr int kReadWriteAccess = 1;

namespace detail {

// What OPEN3 does with a slot of this kind after classifying the logical name's value.
enum class Admission {
  kDispatch,  // go on to the opener or creator for the mode
  kOpened,    // the kind opened the file itself (the mode is not examined)
  kRefused,   // refused, with its message
};

// Operations a kind with nothing of its own to do uses; they are the defaults of a row.
inline Admission dispatch_on_mode(int, int, std::string_view, std::string_view) {
  return Admission::kDispatch;
}
inline bool cannot_open(std::string_view, int, int, std::string_view) { return false; }
inline bool cannot_create(std::string_view, int, std::string_view, bool) { return false; }
inline bool nothing_to_describe(int, std::string_view) { return true; }
inline bool nothing_to_flush(int) { return true; }
inline int nothing_to_close(int) { return 0; }
inline void nothing_to_release(int) {}
inline void nothing_to_init(std::string_view, int, int) {}
inline void nothing_to_forget() {}
inline int the_slot_itself(int fid, int, int, int) { return fid; }
inline bool no_vars(int, int, const VarRead&, std::byte*) { return false; }
inline std::int64_t no_bytes(int, int, int) { return 0; }
inline void no_report(int, std::string_view) {}
// A kind without stored flags: "Error reading time step flags for <name>".
bool no_flags(int fid, int vid, int first, int n, int step, std::span<int> flags, MsgBuf<256>& why);

// NCID3 of a slot taken for a netCDF file until its open gives it an id; the netCDF kind's
// row code, since every netCDF id (0 or more) is that kind's.
inline constexpr int kNetcdfCode = 0;

struct FileKind {
  // The kind's code in NCID3 while the slot holds it (netCDF: 0 until the open gives the id).
  int code = 0;
  // The start of a logical name's value that selects the kind, compared without regard to
  // case ("BIN:"); empty for the kind of a plain path. STRIP: the prefix is not part of the
  // path.
  std::string_view prefix = {};
  bool strip_prefix = false;
  // Whether the path names a file on disk whose existence selects opening or creating.
  bool on_disk = false;

  // OPEN3: what happens before the dispatch on the mode.
  Admission (*admit)(int fid, int fstatus, std::string_view lname,
                     std::string_view path) = dispatch_on_mode;
  // OPNFIL3: opens the existing file PATH for slot FID (ACCESS 0 read-only, 1 read-write).
  bool (*open)(std::string_view path, int fid, int access, std::string_view pname) = cannot_open;
  // OPEN3, read-only, nothing on disk: opens a file that is not a file on disk (a list);
  // null when such a file is "not available".
  bool (*open_absent)(int fid, std::string_view pname) = nullptr;
  // CRTFIL3, after the checks every kind shares: creates the file PATH for slot FID from the
  // description record; LARGE_OFFSETS (KAVRO_OFFSET_64) asks a format that has a 64-bit
  // offset variant for it.
  bool (*create)(std::string_view path, int fid, std::string_view pname,
                 bool large_offsets) = cannot_create;

  // DESC3, after the slot's state is copied and a volatile file synchronised: the rest of the
  // description record from the file.
  bool (*describe)(int fid, std::string_view lname) = nothing_to_describe;
  // Brings the file's disk image up to date without a message (a list's members).
  bool (*flush)(int fid) = nothing_to_flush;
  // SYNCFID: the same, reporting a failure.
  bool (*sync)(int fid) = nothing_to_flush;

  // RDTFLAG: the slot whose records hold (JDATE, JTIME) for VID: FID itself for most kinds, a
  // member for a list; 0 when none does (reported).
  int (*resolve)(int fid, int vid, int jdate, int jtime) = the_slot_itself;
  // RDTFLAG: the flag pairs of variables FIRST .. FIRST + N - 1 (or VID alone) of record STEP
  // into FLAGS; on failure false with the warning text in WHY (warned only when verbose).
  bool (*read_flags)(int fid, int vid, int first, int n, int step, std::span<int> flags,
                     MsgBuf<256>& why) = no_flags;
  // READ3 of a dictionary (file type DCTNRY3): the entry VNAME into the description record;
  // null for a kind that holds no dictionaries.
  bool (*read_entry)(int fid, std::string_view vname) = nullptr;
  // READ3 for a kind that reads by date and time itself (memory-resident); null otherwise.
  bool (*read_dated)(int fid, int vid, int layer, int jdate, int jtime, void* buffer) = nullptr;
  // A transfer of file type FTYPE, before the variable: the type's per-step header arrays of
  // record STEP into the front of OUT, the words written returned (-1 on failure, warned
  // with CALLER). Null for a kind whose files hold no such arrays.
  std::int64_t (*read_header_arrays)(int ftype, int fid, int step, std::string_view caller,
                                     std::byte* out) = nullptr;
  // RDVARS: one variable (VID >= 1) or all (ALLVAR3) of the read's SIZE values each into OUT.
  bool (*read_vars)(int fid, int vid, const VarRead& read, std::byte* out) = no_vars;
  // WRITE3: every layer of VID (or every variable, ALLVAR3) from IN, laid out as a READ3 of
  // all layers delivers it, as the step of (JDATE, JTIME) in record STEP, with the flag pair
  // FLAGS written after the data; the record count grown. Failures are logged by the kind
  // and WRITE3 warns. Null for a kind that is not written by date and time (a list).
  bool (*write_step)(int fid, int vid, int step, const std::array<int, 2>& flags, int jdate,
                     int jtime, const std::byte* in) = nullptr;
  // Bytes a READ3 of VID (or ALLVAR3) and LAYER (or ALLAYS3) writes; the description is
  // slot FID's (a list hands its own slot to the row of its members' kind).
  std::int64_t (*read_bytes)(int fid, int vid, int layer) = no_bytes;
  // Where in those bytes variable VID's values of LAYER (or ALLAYS3) start, for a kind whose
  // READ3 of one variable delivers more than that variable (a whole record); null: the
  // variable's values come last, after any per-step header arrays.
  std::int64_t (*values_offset)(int fid, int vid, int layer) = nullptr;

  // CLOSE3 and SHUT3: closes the file; 0 on success, otherwise the failure status.
  int (*close)(int fid) = nothing_to_close;
  // The kind's name in close failures ("Error closing <name> file"), and whether the failure
  // status is reported ("netCDF error number").
  std::string_view close_name = {};
  bool close_reports_status = false;
  // Releases what the kind holds for slot FID whatever kind the slot has now: called for
  // every slot at shutdown and for every slot closed.
  void (*release)(int fid) = nothing_to_release;
  // Start-up at initialisation, with a version text and the run's date and time.
  void (*init)(std::string_view version, int rundate, int runtime) = nothing_to_init;
  // Tests starting the library afresh: gives back everything the kind holds, for every slot.
  void (*forget)() = nothing_to_forget;

  // CHKFIL3: whether the vertical grid of the slot's header (VGTYP, VGTOP and the levels the
  // header holds, as the opener stored them) is compared with the caller's.
  bool checks_vertical = false;

  // OPNLOG3: the line naming the kind and the access (ACCESS a 20-character field).
  void (*report)(int fid, std::string_view access) = no_report;
  // OPNLOG3: the file's own execution id into EXECID and whether its first character is
  // NUL; returns the netCDF-style status (0 success). Null: the run's execution id.
  int (*execution_id)(int fid, Line80& execid, bool& first_nul) = nullptr;
};

// The row of the slot's kind (the slot must be 1..MXOPEN3): NCID3 0 or more is netCDF; a
// code no row has gives the row of a slot that holds nothing.
const FileKind& kind_of(int fid) noexcept;

// The row that classifies a logical name's value PATH (the plain-path kind when no prefix
// matches).
const FileKind& kind_for_value(std::string_view path) noexcept;

// How many kinds one build may list.
inline constexpr std::size_t kMaxKinds = 8;

// Installs the rows behind install_kinds; the count has been checked against kMaxKinds.
void install_kind_rows(std::span<const FileKind* const> kinds) noexcept;

// Every kind of this build, in the order their prefixes are tried; the plain-path kind last.
// A list longer than the table does not compile, so no kind is ever dropped.
template <std::size_t N>
void install_kinds(const FileKind* const (&kinds)[N]) noexcept {
  static_assert(N <= kMaxKinds, "more kinds than the kind table holds: raise kMaxKinds");
  install_kind_rows(kinds);
}
// INIT3's work once the kinds of the build are installed: the log, the banner, the scenario,
// the tables, the run's date and time, every kind's start-up. Nothing when already started.
int start_library();

// Every kind's release for slot FID.
void release_all(int fid);
// Every kind's forget (the library starting afresh).
void forget_all();
// Every kind's start-up.
void init_all(std::string_view version, int rundate, int runtime);

}  // namespace detail
}  // namespace kavro

#endif  // KAVRO_CORE_KINDS_H
