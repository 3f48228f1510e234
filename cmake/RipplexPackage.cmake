# The installed package: libripplex_core.a, the public headers under
# include/ripplex/ (each in its folder, as the sources include them) and
# lib/cmake/Ripplex/ with the Ripplex::core target. Only the core: no GL
# side, no programs, no Python module.
include(CMakePackageConfigHelpers)

# What a program needs to start, step and read a basin. WaterBody.h and
# everything it includes, the loader and the summary, the log (to see the
# lines) and the spray's random state (to run several bodies apart).
set(RIPPLEX_PUBLIC_HEADERS
  app/Log.h
  app/WaterBodyLoader.h
  assets/3DSObject.h
  common/Drawable.h
  common/Vec3.h
  sim/GridLayout.h
  sim/Random.h
  sim/SimEvent.h
  sim/SimObject.h
  sim/WaterBody.h
  sim/WaterSummary.h
)
foreach(header ${RIPPLEX_PUBLIC_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES src/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ripplex/${folder})
endforeach()

set(RIPPLEX_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Ripplex)
install(TARGETS ripplex_core EXPORT RipplexTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT RipplexTargets NAMESPACE Ripplex:: DESTINATION ${RIPPLEX_PACKAGE_DIR})
configure_package_config_file(cmake/RipplexConfig.cmake.in
  ${PROJECT_BINARY_DIR}/RipplexConfig.cmake INSTALL_DESTINATION ${RIPPLEX_PACKAGE_DIR})
# 0.x: a new minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RipplexConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RipplexConfig.cmake ${PROJECT_BINARY_DIR}/RipplexConfigVersion.cmake
  DESTINATION ${RIPPLEX_PACKAGE_DIR})
