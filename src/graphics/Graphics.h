// CGraphics: the program's one window and the fixed OpenGL state every
// frame relies on, configured by "graphics.opt". Static members only: one
// window per process. Graphics side.
#pragma once

#include <string>

class CGraphics
{
public:
    static constexpr int ERROR_NONE = 65001;
    static constexpr int ERROR_FILE_NOT_FOUND = 65002;
    // The two looks of the viewer: the fixed pipeline's picture, and the
    // water drawn by shaders (CShadedLook).
    static constexpr int LOOK_FIXED = 0;
    static constexpr int LOOK_SHADED = 1;

    // InitGLUT then InitOpenGL; false (logged) when either fails.
    static bool Init();
    // Reads "graphics.opt", creates the window, installs Reshape.
    static bool InitGLUT();
    // Depth test, culling, smoothing; always true.
    static bool InitOpenGL();
    // Viewport and perspective projection for a window of width × height.
    static void Reshape(int width, int height);

    static int iScreenWidth;     // pixels, from the last reshape
    static int iScreenHeight;    // pixels, never below 1 after a reshape
    static float fScreenFOV;     // degrees, vertical; negative turns the picture
    static bool bDoubleBuffer;   // frames end with a swap, else glFlush
    static int iLook;            // look at start: LOOK_FIXED or LOOK_SHADED ("iLook")
    static int iErrorCode;       // ERROR_NONE or the last failure
    static std::string sErrorMessage;
};

// Ends a drawn frame: a buffer swap in a double-buffered window, else a
// flush, so that the frame shows either way.
void EndFrame();

class CTgaImage;

// Fills a 24-bit image with the window's pixels from its lower-left corner,
// rows bottom first and packed without padding (width × 3 bytes each). The
// image keeps its size: when the window is smaller than the image, only the
// part the window covers is read and the rest is black; when it is larger,
// the lower-left image-sized part is read. Never writes past the buffer.
void ReadWindowPixels(CTgaImage& image);
