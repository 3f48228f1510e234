# Turns the GLSL files of shaders/ into one C++ header of string constants,
# so that the program carries its shaders and needs no file at run time.
# Run as a script at build time:
#
#   cmake -DOUTPUT=EmbeddedShaders.h -DSHADER_DIR=shaders -P EmbedShaders.cmake
#
# Each .glsl, .vert and .frag file of SHADER_DIR, in name order, becomes
# `inline constexpr char SHADER_<NAME>[]`, its name upper case with every
# other character made an underscore (surface.frag gives
# SHADER_SURFACE_FRAG), holding the file byte for byte in a raw string.
# A file that contains the raw string's closing delimiter is refused.

file(GLOB SOURCES "${SHADER_DIR}/*.glsl" "${SHADER_DIR}/*.vert" "${SHADER_DIR}/*.frag")
list(SORT SOURCES)
set(delimiter "ripplex_glsl")
set(text "// Generated from shaders/ by cmake/EmbedShaders.cmake; do not edit.\n#pragma once\n")
foreach(source IN LISTS SOURCES)
  get_filename_component(name "${source}" NAME)
  string(TOUPPER "${name}" constant)
  string(REGEX REPLACE "[^A-Z0-9]" "_" constant "${constant}")
  file(READ "${source}" body)
  string(FIND "${body}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${source} contains )${delimiter}\" and cannot be embedded")
  endif()
  string(APPEND text "\n// ${name}\ninline constexpr char SHADER_${constant}[] = R\"${delimiter}(${body})${delimiter}\";\n")
endforeach()
# Written only when it changes, so that an untouched shader rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
endif()
if(NOT "${previous}" STREQUAL "${text}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
