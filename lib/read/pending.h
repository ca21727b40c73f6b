// The readers that READ3 hands other kinds of file to: native binary time-step records,
// memory-resident files and dictionary files. Each is reached through this one declaration;
// until its module is part of the library, the body in pending.cpp refuses the request with
// a warning that names the missing capability. The module that brings the real routine
// removes its body from pending.cpp and declares it here (or includes its own header here).
#ifndef KAVRO_READ_PENDING_H
#define KAVRO_READ_PENDING_H

#include <span>
#include <string_view>

namespace kavro {

// Native binary file: the flag pairs of record STEP for VID (one pair) or all variables
// (NVARS pairs, at least one) into FLAGS. 1 on success, 0 on failure.
int RDBFLAG(int fid, int vid, int step, std::span<int> flags);

// Native binary file: variable VID (or all, VID < 1), LAYER (or all, LAYER < 1) of record
// STEP into BUFFER. 1 on success, 0 on failure.
int RDBVARS(int fid, int vid, int layer, int step, void* buffer);

// Memory-resident file: the READ3 path.
bool RDBUF3(int fid, int vid, int layer, int jdate, int jtime, void* buffer);

// Dictionary file: the entry VNAME into the description record.
bool RDDICT3(int fid, std::string_view vname);

}  // namespace kavro

#endif  // KAVRO_READ_PENDING_H
