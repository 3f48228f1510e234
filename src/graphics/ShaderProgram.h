// CShaderProgram: one GLSL program of the shaded look, linked from a
// vertex and a fragment shader, each given as a list of files that are
// compiled as one text after the version line (shared files first, such
// as common.glsl, then the shader's own). Every compile and link is
// checked; a failure writes one line to the log, with the file's name and
// the driver's message, and leaves no program. Graphics side, OpenGL 3.0
// through libepoxy: include this before any other OpenGL header.
//
// Deliberately not done: no caching of uniform locations (a few tens of
// look-ups per frame), no reloading of shaders from disk.
#pragma once

#include <epoxy/gl.h>

#include <initializer_list>

// A GLSL source embedded in the program: its file name (for messages) and
// its text.
struct ShaderFile
{
    const char* name;
    const char* text;
};

class CShaderProgram
{
public:
    CShaderProgram() = default;
    CShaderProgram(const CShaderProgram&) = delete;
    CShaderProgram& operator=(const CShaderProgram&) = delete;
    ~CShaderProgram() { Release(); }

    // `name` names the program in messages. The attributes are bound to
    // locations 0, 1, 2... in the order given (location 0 provokes vertices
    // in a compatibility context, so the position goes first); the
    // fragment shader's one output, fragColour, goes to draw buffer 0.
    bool Build(const char* name, std::initializer_list<ShaderFile> vertex,
               std::initializer_list<ShaderFile> fragment,
               std::initializer_list<const char*> attributes);
    void Release();
    bool Built() const { return id != 0; }
    void Use() const { glUseProgram(id); }

    // Uniforms by name; a name the program does not use (the compiler drops
    // unused uniforms) is ignored, as OpenGL ignores location −1.
    void Set(const char* name, int value) const;
    void Set(const char* name, float value) const;
    void Set(const char* name, float x, float y) const;
    void Set(const char* name, float x, float y, float z) const;
    void Set(const char* name, float x, float y, float z, float w) const;
    void SetMatrix3(const char* name, const float* columns) const;  // 9 floats, column by column
    void SetMatrix4(const char* name, const float* columns) const;  // 16 floats, column by column
    void SetVectors4(const char* name, const float* values, int count) const;

private:
    GLint Location(const char* name) const { return glGetUniformLocation(id, name); }

    GLuint id = 0;
};

// The GLSL version line every shader of the look starts with: the version
// the look needs from the context (OpenGL 3.0's GLSL 1.30).
inline constexpr char GLSL_VERSION_LINE[] = "#version 130\n";
