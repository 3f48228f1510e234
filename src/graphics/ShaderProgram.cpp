// CShaderProgram: compile, link and the checks around them.
//
// A shader's files are handed to the compiler as separate strings, each
// after a "#line 1 N" directive: the line numbers of the driver's
// messages count from the start of the file they fall in, and a driver
// that reports the string number reports N, file N of the list the log
// line gives (Mesa reports 0 whatever the directive says).

#include "graphics/ShaderProgram.h"

#include <string>
#include <vector>

#include "app/Log.h"

namespace
{

// The driver's log on one line: line breaks become " / ", trailing white
// space goes.
std::string OneLine(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    std::string line;
    for (char c : text)
    {
        if (c == '\n')
            line += " / ";
        else if (c != '\r')
            line += c;
    }
    return line.empty() ? "(pas de message)" : line;
}

// The info log of a shader or a program, through the pair of calls for it.
std::string InfoLog(GLuint object, void (*getInteger)(GLuint, GLenum, GLint*),
                    void (*getLog)(GLuint, GLsizei, GLsizei*, GLchar*))
{
    GLint length = 0;
    getInteger(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        getLog(object, length, nullptr, log.data());
    return OneLine(log);
}

// "1 common.glsl, 2 surface.frag": the files in the order compiled.
std::string FileList(std::initializer_list<ShaderFile> files)
{
    std::string list;
    int number = 0;
    for (const ShaderFile& file : files)
    {
        ++number;
        list += (number > 1 ? ", " : "") + std::to_string(number) + " " + file.name;
    }
    return list;
}

// 0 (logged) when the shader does not compile.
GLuint Compile(const char* program, GLenum stage, std::initializer_list<ShaderFile> files)
{
    std::vector<std::string> lines;
    for (size_t number = 1; number <= files.size(); ++number)
        lines.push_back("#line 1 " + std::to_string(number) + "\n");
    std::vector<const char*> texts{GLSL_VERSION_LINE};
    size_t number = 0;
    for (const ShaderFile& file : files)
    {
        texts.push_back(lines[number++].c_str());
        texts.push_back(file.text);
    }
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, GLsizei(texts.size()), texts.data(), nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE)
        return shader;
    CLog::Write("CShaderProgram::Build -- Aspect ombr\xE9 indisponible : le shader %s du programme %s"
                " ne compile pas (fichiers %s) : %s",
                stage == GL_VERTEX_SHADER ? "de sommets" : "de fragments", program,
                FileList(files).c_str(), InfoLog(shader, glGetShaderiv, glGetShaderInfoLog).c_str());
    glDeleteShader(shader);
    return 0;
}

}  // namespace

bool CShaderProgram::Build(const char* name, std::initializer_list<ShaderFile> vertex,
                           std::initializer_list<ShaderFile> fragment,
                           std::initializer_list<const char*> attributes)
{
    Release();
    GLuint vertexShader = Compile(name, GL_VERTEX_SHADER, vertex);
    GLuint fragmentShader = vertexShader != 0 ? Compile(name, GL_FRAGMENT_SHADER, fragment) : 0;
    if (fragmentShader == 0)
    {
        glDeleteShader(vertexShader);
        return false;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    GLuint location = 0;
    for (const char* attribute : attributes)
        glBindAttribLocation(program, location++, attribute);
    glBindFragDataLocation(program, 0, "fragColour");
    glLinkProgram(program);
    // The program keeps what it needs; the shaders go when it does.
    glDetachShader(program, vertexShader);
    glDetachShader(program, fragmentShader);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE)
    {
        CLog::Write("CShaderProgram::Build -- Aspect ombr\xE9 indisponible : le programme %s ne se lie"
                    " pas : %s", name,
                    InfoLog(program, glGetProgramiv, glGetProgramInfoLog).c_str());
        glDeleteProgram(program);
        return false;
    }
    id = program;
    return true;
}

void CShaderProgram::Release()
{
    if (id != 0)
        glDeleteProgram(id);
    id = 0;
}

void CShaderProgram::Set(const char* name, int value) const
{
    glUniform1i(Location(name), value);
}

void CShaderProgram::Set(const char* name, float value) const
{
    glUniform1f(Location(name), value);
}

void CShaderProgram::Set(const char* name, float x, float y) const
{
    glUniform2f(Location(name), x, y);
}

void CShaderProgram::Set(const char* name, float x, float y, float z) const
{
    glUniform3f(Location(name), x, y, z);
}

void CShaderProgram::Set(const char* name, float x, float y, float z, float w) const
{
    glUniform4f(Location(name), x, y, z, w);
}

void CShaderProgram::SetMatrix3(const char* name, const float* columns) const
{
    glUniformMatrix3fv(Location(name), 1, GL_FALSE, columns);
}

void CShaderProgram::SetMatrix4(const char* name, const float* columns) const
{
    glUniformMatrix4fv(Location(name), 1, GL_FALSE, columns);
}

void CShaderProgram::SetVectors4(const char* name, const float* values, int count) const
{
    if (count > 0)
        glUniform4fv(Location(name), count, values);
}
