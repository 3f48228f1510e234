// Compiled only by the test core_boundary.opengl_header_stops_the_build, with
// the display-free libraries' include path: it must not compile.
#include <GL/gl.h>
