# Installs the build tree into a scratch prefix, then builds the example host
# program examples/consumer against it twice (CMake package, pkg-config) and
# runs both builds and the installed kvodev. Run with cmake -P and:
#   BUILD_DIR SOURCE_DIR WORK_DIR LIBDIR GENERATOR MAKE_PROGRAM CXX_COMPILER SANITIZE_FLAGS VERSION
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " line "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${line}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# The answers of examples/consumer/main.cpp for a fresh data directory and cameras.ini.
function(expect_consumer_output text)
  set(expected "added U303x0: yes, units listed: 1\nanother writer added U303x1; still to save: 1 change\ndevice 332 shading: yes, HDRI: ")
  string(FIND "${text}" "${expected}" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "unexpected output:\n${text}\nexpected it to start with:\n${expected}")
  endif()
  string(FIND "${text}" "kvodevice ${VERSION} (headers ${VERSION})" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the consumer does not name version ${VERSION}:\n${text}")
  endif()
endfunction()

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

# 1. find_package(kvodevice CONFIG).
run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}/examples/consumer" -B "${WORK_DIR}/build" -G "${GENERATOR}"
    "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_FLAGS=${SANITIZE_FLAGS}")
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
file(MAKE_DIRECTORY "${WORK_DIR}/data-cmake")
run("${WORK_DIR}/build/consumer" "${WORK_DIR}/data-cmake" "${SOURCE_DIR}/examples/cameras.ini")
expect_consumer_output("${out}")
run("${WORK_DIR}/build/fake_test" "${SOURCE_DIR}/examples/cameras.ini")
if(NOT EXISTS "${WORK_DIR}/data-cmake/kvoDevice.xml" OR NOT EXISTS "${WORK_DIR}/data-cmake/kvoDevice.xsd")
  message(FATAL_ERROR "the consumer left no configuration in ${WORK_DIR}/data-cmake")
endif()

# 2. The installed kvodev finds the installed libraries by itself and reads what the consumer wrote.
run("${prefix}/bin/kvodev" --data-dir "${WORK_DIR}/data-cmake" units exists U303x0)

# The man page and the bash completion are in place, and name the commands.
include(GNUInstallDirs)
foreach(file "${CMAKE_INSTALL_MANDIR}/man1/kvodev.1" "${CMAKE_INSTALL_DATADIR}/bash-completion/completions/kvodev")
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${prefix}/${file}")
  endif()
  file(READ "${prefix}/${file}" text)
  foreach(command check history graph)
    string(FIND "${text}" "${command}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${prefix}/${file} does not mention ${command}")
    endif()
  endforeach()
endforeach()

# 3. pkg-config, when it is there; its flags carry the language standard and
# need no other package's file (PKG_CONFIG_LIBDIR: ours alone).
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_LIBDIR} "${prefix}/${LIBDIR}/pkgconfig")
  run("${PKG_CONFIG}" --cflags --libs kvodevice)
  if(out MATCHES "libxml")
    message(FATAL_ERROR "pkg-config adds libxml2's flags, which the public headers do not need: ${out}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${out}")
  separate_arguments(sanitize UNIX_COMMAND "${SANITIZE_FLAGS}")
  run("${CXX_COMPILER}" ${sanitize} "${SOURCE_DIR}/examples/consumer/main.cpp" ${flags}
      "-Wl,-rpath,${prefix}/${LIBDIR}" -o "${WORK_DIR}/consumer-pkgconfig")
  file(MAKE_DIRECTORY "${WORK_DIR}/data-pkgconfig")
  run("${WORK_DIR}/consumer-pkgconfig" "${WORK_DIR}/data-pkgconfig" "${SOURCE_DIR}/examples/cameras.ini")
  expect_consumer_output("${out}")
endif()
