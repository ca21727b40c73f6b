#include "kavro/version.h"

#include <netcdf.h>

extern "C" {

const char* kavro_version(void) { return KAVRO_VERSION_STRING; }

const char* kavro_netcdf_version(void) { return nc_inq_libvers(); }

}  // extern "C"
