// LoadTexture: reads a TGA file and uploads it as a linear-filtered,
// repeating 2D texture (RGB for 24 bits, RGBA for 32). Graphics side.
//
// Deliberately not done: no mipmaps, no resizing to powers of two, no
// cache (each call makes a new texture object). OpenGL errors raised by
// the upload are not examined; an image larger than the implementation
// takes is not uploaded but logged (the surface is then drawn untextured).

#include "assets/Texture.h"

#include <type_traits>

#include "app/Log.h"
#include "assets/TgaImage.h"

static_assert(std::is_same_v<GLuint, uint32_t>,
              "texture names are handed around as unsigned 32-bit integers");

namespace
{

// Rows of the image are packed without padding; OpenGL's default unpack
// alignment of 4 would misread RGB rows whose length is not a multiple of 4.
void UploadPackedPixels(const CTgaImage& image)
{
    GLenum format = image.bitsPerPixel == 32 ? GL_RGBA : GL_RGB;
    GLint savedAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), GLsizei(image.width), GLsizei(image.height),
                 0, format, GL_UNSIGNED_BYTE, image.data);
    glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);
}

}  // namespace

bool LoadTexture(GLuint* texture, const char* fileName)
{
    CTgaImage image;
    if (!CTgaImage::TgaImageLoad(fileName, &image))
    {
        if (image.data != nullptr)
            image.cvUnloadImage();
        return false;
    }
    glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (image.width > maxSize || image.height > maxSize)
        CLog::Write("LoadTexture -- Texture %s trop grande pour OpenGL (%u x %u, au plus %d) : "
                    "surface dessin\xE9" "e sans texture",
                    fileName, unsigned(image.width), unsigned(image.height), int(maxSize));
    else if (image.bitsPerPixel == 24 || image.bitsPerPixel == 32)
        UploadPackedPixels(image);
    image.cvUnloadImage();
    return true;
}

bool LoadTextureHook(uint32_t* texture, const char* fileName)
{
    return LoadTexture(texture, fileName);
}

void DeleteTextureHook(uint32_t texture)
{
    const GLuint name = texture;
    glDeleteTextures(1, &name);
}
