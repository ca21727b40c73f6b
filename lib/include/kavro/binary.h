// Native binary files: the library's own binary layout, opened by a logical name whose value
// starts "BIN:" (OPEN3) or handled slot by slot through the routines below.
#ifndef KAVRO_BINARY_H
#define KAVRO_BINARY_H

#include "kavro/kavro_c.h"

namespace kavro {
using ::CLOSEBIN3;
using ::CRTBIN3;
using ::DSCBIN3;
using ::FLUSHBIN3;
using ::INITBIN3;
using ::OPNBIN3;
using ::RDBFLAG;
using ::RDBVARS;
using ::WRBFLAG;
using ::WRBPATCH;
using ::WRBVARS;
using ::XTRBIN3;
}  // namespace kavro

#endif  // KAVRO_BINARY_H
