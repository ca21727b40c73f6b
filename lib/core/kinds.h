// Where the modules for the special file kinds (native binary files, memory-resident files)
// plug into initialisation and shutdown. Core knows them only through this table: a module
// registers its operations once, and INIT3, SHUT3 and CLOSE3 call whatever is registered.
// A kind with nothing registered has nothing to initialise, flush, close or release.
//
// A module registers from a namespace-scope constant in a source file that is linked in
// anyway (one that also holds routines other code calls), e.g.
//   const bool registered = detail::register_kind(BINFIL3, {.close = close_slot, ...});
// The table is constant-initialised, so registration order against other statics is safe.
#ifndef KAVRO_CORE_KINDS_H
#define KAVRO_CORE_KINDS_H

#include <string_view>

namespace kavro::detail {

struct KindOps {
  // Closes the file held in slot FID (a slot of this kind); non-zero for success.
  int (*close)(int fid) = nullptr;
  // Writes out what the module holds for slot FID (a slot of this kind); non-zero for success.
  int (*flush)(int fid) = nullptr;
  // Releases whatever the module holds for slot FID, whatever kind the slot has now: called
  // for every slot at shutdown and for a slot being closed (memory-resident buffers).
  void (*release)(int fid) = nullptr;
  // Module start-up at initialisation, with a version text and the run's date and time.
  void (*init)(std::string_view version, int rundate, int runtime) = nullptr;
};

// Registers the operations of a file kind (MEMFIL3, VIRTFIL3, LISTFIL3 or BINFIL3). Returns
// true when KIND is one of them.
bool register_kind(int kind, const KindOps& ops) noexcept;

// The registered operations of KIND, or null.
const KindOps* kind_ops(int kind) noexcept;

// Closes slot FID of kind KIND: true when closed or when the kind has nothing to close.
bool close_kind(int kind, int fid);

// Flushes slot FID of kind KIND: true when flushed or when the kind has nothing to flush.
bool flush_kind(int kind, int fid);

// Every registered release for slot FID.
void release_kinds(int fid);

// Every registered module start-up.
void init_kinds(std::string_view version, int rundate, int runtime);

}  // namespace kavro::detail

#endif  // KAVRO_CORE_KINDS_H
