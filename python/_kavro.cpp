// kavro._kavro: the compiled core under the Python package. It only converts types between
// Python and the library and turns a failed call into an exception; everything else lives in
// the plain-Python package.
#include <pybind11/pybind11.h>

#include "kavro/kavro.h"
#include "kavro/version.h"

namespace py = pybind11;

PYBIND11_MODULE(_kavro, m) {
  m.doc() = "The kavro library's compiled core (use the kavro package, not this module).";
  m.def("library_version", [] { return std::string(kavro_version()); },
        "The linked library's version, MAJOR.MINOR.PATCH.");
  m.def("netcdf_version", [] { return std::string(kavro_netcdf_version()); },
        "The linked netCDF library's version text.");
}
