# The line between the core library, which runs without a display (the
# runner, the Python module, other projects), and the graphics side. Three
# folders hold files of both (src/app, src/assets, src/scene), so that a
# class is found by its name rather than by its library; their lists below
# are grouped by library, and a .cpp in none of them stops configuration,
# so that a new file cannot land in the wrong library unnoticed.

# ripplex_split_folder(<folder> CORE ... EXPORT ... GL ... PROGRAMS ...):
# sets RIPPLEX_<NAME>_<GROUP> (NAME the folder's last part, upper case) to
# the files of each group with their path, after checking that every .cpp
# of src/<folder> is in exactly one group.
function(ripplex_split_folder folder)
  cmake_parse_arguments(PARSE_ARGV 1 SPLIT "" "" "CORE;EXPORT;GL;PROGRAMS")
  string(TOUPPER ${folder} name)
  file(GLOB present RELATIVE ${PROJECT_SOURCE_DIR}/src/${folder} CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
  set(listed ${SPLIT_CORE} ${SPLIT_EXPORT} ${SPLIT_GL} ${SPLIT_PROGRAMS})
  foreach(file ${present})
    list(LENGTH listed count)
    list(FILTER listed EXCLUDE REGEX "^${file}$")
    list(LENGTH listed left)
    math(EXPR times "${count} - ${left}")
    if(NOT times EQUAL 1)
      message(FATAL_ERROR "src/${folder}/${file} is listed ${times} times in CMakeLists.txt: "
                          "put it in exactly one of CORE, EXPORT, GL or PROGRAMS")
    endif()
  endforeach()
  if(listed)
    message(FATAL_ERROR "listed in CMakeLists.txt but not in src/${folder}: ${listed}")
  endif()
  foreach(group CORE EXPORT GL PROGRAMS)
    list(TRANSFORM SPLIT_${group} PREPEND src/${folder}/)
    set(RIPPLEX_${name}_${group} ${SPLIT_${group}} PARENT_SCOPE)
  endforeach()
endfunction()

# Puts stand-ins for the OpenGL, GLU, GLUT and epoxy headers first on a
# target's include path: each one is an #error, so a file of a display-free
# library that includes one does not compile.
function(ripplex_gl_free target)
  target_include_directories(${target} BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/cmake/gl-free)
endfunction()
