// The kavro library: open gridded data files by logical name, describe them, read any
// variable at any model date and time, keep a log, and stop with a uniform report.
//
// Text arguments are views whose size() is their declared length (a name passed as a
// 16-character field keeps its trailing blanks). Text results are fields (spans) that a
// routine fills completely: a longer value is cut, a shorter one blank-filled.
#ifndef KAVRO_KAVRO_H
#define KAVRO_KAVRO_H

#include "kavro/attributes.h"
#include "kavro/binary.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/file.h"
#include "kavro/file_gaps.h"
#include "kavro/file_names.h"
#include "kavro/fixed_string.h"
#include "kavro/kavro_c.h"
#include "kavro/layout.h"
#include "kavro/memory.h"
#include "kavro/open.h"
#include "kavro/params.h"
#include "kavro/projection.h"
#include "kavro/read.h"
#include "kavro/settings.h"
#include "kavro/util.h"
#include "kavro/write.h"

#endif  // KAVRO_KAVRO_H
