# Finds netCDF the way an installed kavro will find it again (kavroConfig.cmake repeats the same
# choice): netCDF's own CMake package first, its pkg-config file otherwise.
#   KAVRO_NETCDF_VIA  CONFIG or PKGCONFIG: which of the two found it
#   NETCDF_LIB        the imported target to link
#   NETCDF_INCLUDE    its include folders (for targets that name them directly)
find_package(netCDF CONFIG QUIET)
if(TARGET netCDF::netcdf)
  set(KAVRO_NETCDF_VIA CONFIG)
  set(NETCDF_LIB netCDF::netcdf)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(netCDF REQUIRED IMPORTED_TARGET netcdf)
  set(KAVRO_NETCDF_VIA PKGCONFIG)
  set(NETCDF_LIB PkgConfig::netCDF)
endif()
get_target_property(NETCDF_INCLUDE ${NETCDF_LIB} INTERFACE_INCLUDE_DIRECTORIES)
if(NOT NETCDF_INCLUDE)
  set(NETCDF_INCLUDE "")
endif()
message(STATUS "netCDF: ${NETCDF_LIB} (${KAVRO_NETCDF_VIA})")
