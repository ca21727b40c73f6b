# What `cmake --install` puts under the prefix (GNUInstallDirs): the headers, the library as an
# archive and as a shared library, the Fortran module and its library, the tool, the sample
# maker, the manual page, and the two ways other projects find the library: the CMake package
# (find_package(kavro CONFIG) -> kavro::kavro) and the pkg-config files kavro.pc, kavrof.pc.
include(CMakePackageConfigHelpers)

set(KAVRO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kavro)

install(TARGETS ${KAVRO_INSTALL_TARGETS} EXPORT kavroTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/lib/include/kavro ${PROJECT_BINARY_DIR}/lib/include/kavro
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
if(KAVRO_FORTRAN)
  install(FILES ${KAVRO_FORTRAN_MODULES}/kavro.mod DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()
install(TARGETS brindlewick make_sample make_stack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(EXPORT kavroTargets NAMESPACE kavro:: DESTINATION ${KAVRO_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kavroConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/kavroConfig.cmake
                              INSTALL_DESTINATION ${KAVRO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kavroConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kavroConfig.cmake ${PROJECT_BINARY_DIR}/kavroConfigVersion.cmake
        DESTINATION ${KAVRO_CMAKE_DIR})

# The .pc files find the prefix from their own place, so an installed tree can be moved (and
# `cmake --install --prefix` can pick another prefix than the one configured).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(KAVRO_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH KAVRO_PC_UP "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" KAVRO_PC_UP "${KAVRO_PC_UP}")
  set(KAVRO_PC_PREFIX "\${pcfiledir}/${KAVRO_PC_UP}")
endif()
# What a static link of libkavro.a needs, and no more: netCDF's and PROJ's libraries as their
# .pc files give them (-L, -l) and the C++ runtime. Requires.private would add, for --static,
# the private dependencies of their own archives (PROJ's curl, curl's Kerberos and LDAP, ...),
# which a link against their shared libraries, all Debian ships, does not need and a fresh
# machine lacks.
set(KAVRO_PC_LIBS_PRIVATE "")
foreach(dependency netcdf proj)
  execute_process(COMMAND ${PKG_CONFIG_EXECUTABLE} --libs ${dependency}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed
                  ERROR_QUIET)
  if(failed)
    set(flags "-l${dependency}")
  endif()
  string(APPEND KAVRO_PC_LIBS_PRIVATE "${flags} ")
endforeach()
foreach(runtime ${KAVRO_CXX_RUNTIME})
  string(APPEND KAVRO_PC_LIBS_PRIVATE "-l${runtime} ")
endforeach()
string(STRIP "${KAVRO_PC_LIBS_PRIVATE}" KAVRO_PC_LIBS_PRIVATE)
set(KAVRO_PC_FILES kavro)
if(KAVRO_FORTRAN)
  list(APPEND KAVRO_PC_FILES kavrof)
endif()
foreach(pc ${KAVRO_PC_FILES})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
