// Stand-in for <GL/glu.h> on the include path of the libraries that must run
// without a display (CoreBoundary.cmake): including it stops the build.
#error "no OpenGL, GLU, GLUT or epoxy header in ripplex_core or ripplex_export: the file belongs in ripplex_gl"
