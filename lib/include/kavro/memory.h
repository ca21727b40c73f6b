// Memory-resident files: a logical name whose value is "BUFFERED" names a file held in memory,
// created by OPEN3 from the description record. Each variable keeps one time step (a
// time-independent file) or the two latest steps, which READ3 reads by date and time.
#ifndef KAVRO_MEMORY_H
#define KAVRO_MEMORY_H

#include <string_view>

#include "kavro/kavro_c.h"

namespace kavro {

// Creates the memory-resident file of slot FID from the description record.
bool CRTBUF3(int fid);

// READ3 of a memory-resident file: variable VID (or ALLVAR3, REAL variables only), layer
// LAYER (or ALLAYS3) of the step held for (JDATE, JTIME).
bool RDBUF3(int fid, int vid, int layer, int jdate, int jtime, void* buffer);

// Stores one whole step (every layer) of variable VNAME of the BUFFERED file FNAME as the
// step of (JDATE, JTIME), in the variable's type. A date and time already held is replaced in
// place; a new one replaces the older of the two held steps and becomes the latest. A
// time-independent file holds its one step whatever the date and time.
bool write_buffered_step(std::string_view fname, std::string_view vname, int jdate, int jtime,
                         const void* buffer);

using ::BUFCRE3;
using ::BUFDDT3;
using ::BUFDDT3D;
using ::BUFDEL3;
using ::BUFGET3;
using ::BUFGET3D;
using ::BUFGET3I;
using ::BUFINT3;
using ::BUFINT3D;
using ::BUFINTX;
using ::BUFINTXD;
using ::BUFPUT3;
using ::BUFPUT3D;
using ::BUFPUT3I;
using ::BUFVGT3;
using ::BUFVGT3D;
using ::BUFXTR3;
using ::BUFXTR3D;
using ::BUFXTR3I;

}  // namespace kavro

#endif  // KAVRO_MEMORY_H
