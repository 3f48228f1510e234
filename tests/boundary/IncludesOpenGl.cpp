// Must not compile: built with the display-free libraries' include path.
#include <GL/gl.h>
