# cmake --install: the ravoprop tool in bin/, the data it ships in
# share/zwravoprop/data (found from bin/ as ../share/zwravoprop/data), the
# library's headers in include/zwravoprop and its static libraries with a
# CMake package, so that another project can
#   find_package(ZWRavoprop REQUIRED)
#   target_link_libraries(app PRIVATE ZWRavoprop::ZWRavoprop)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(RAVO_INSTALL_DATA "${CMAKE_INSTALL_DATADIR}/zwravoprop/data")
set(RAVO_INSTALL_INCLUDE "${CMAKE_INSTALL_INCLUDEDIR}/zwravoprop")
set(RAVO_INSTALL_CMAKE "${CMAKE_INSTALL_LIBDIR}/cmake/ZWRavoprop")
# Programs linking the installed library find the data under the prefix
# configured here when it is not beside them.
target_compile_definitions(ravo_platform PRIVATE
                           RAVO_INSTALL_DATA_DIR="${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zwravoprop/data")

# The libraries a program computing studies needs (the pictures stay with the tool).
set(RAVO_INSTALL_LIBS ravo_platform ravo_geo ravo_terrain ravo_common ravo_coverage
    ravo_models_terrain ravo_models_curves ravo_interference ravo_tasks ravo_engine)
add_library(ravo_library INTERFACE)
target_link_libraries(ravo_library INTERFACE ravo_engine)
set_target_properties(ravo_library PROPERTIES EXPORT_NAME ZWRavoprop)
add_library(ZWRavoprop::ZWRavoprop ALIAS ravo_library)

install(TARGETS ravoprop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${RAVO_INSTALL_LIBS} ravo_library EXPORT ZWRavopropTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${RAVO_INSTALL_INCLUDE})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/src/ DESTINATION ${RAVO_INSTALL_INCLUDE}
        FILES_MATCHING PATTERN "*.h" PATTERN "plot" EXCLUDE)
install(FILES ${CMAKE_BINARY_DIR}/generated/Version.h DESTINATION ${RAVO_INSTALL_INCLUDE})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${RAVO_INSTALL_DATA})
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT ZWRavopropTargets NAMESPACE ZWRavoprop:: DESTINATION ${RAVO_INSTALL_CMAKE})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/ZWRavopropConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/ZWRavopropConfig.cmake INSTALL_DESTINATION ${RAVO_INSTALL_CMAKE}
                              PATH_VARS RAVO_INSTALL_DATA)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZWRavopropConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZWRavopropConfig.cmake ${CMAKE_BINARY_DIR}/ZWRavopropConfigVersion.cmake
        DESTINATION ${RAVO_INSTALL_CMAKE})
