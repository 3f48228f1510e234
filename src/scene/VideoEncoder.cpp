// CVideoEncoder: the ffmpeg process, its pipe and its end.

#include "scene/VideoEncoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace
{

// ffmpeg's arguments for raw RGB frames of `size` ("WxH") on its standard
// input. "file:" keeps a name with a colon from being read as a protocol.
std::vector<std::string> EncoderArguments(const std::string& program, const std::string& file,
                                          const std::string& size)
{
    return {program, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
            "-f", "rawvideo", "-pixel_format", "rgb24", "-video_size", size,
            "-framerate", "100/3", "-i", "pipe:0",
            "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2",
            "-c:v", "libx264", "-pix_fmt", "yuv420p", "file:" + file};
}

std::string SystemReason(const char* what, int error)
{
    return std::string(what) + " : " + std::strerror(error);
}

bool IsExecutableFile(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

}  // namespace

CVideoEncoder::~CVideoEncoder()
{
    std::string ignored;
    Finish(&ignored);
}

std::string CVideoEncoder::FindOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    const std::string directories = path != nullptr ? path : "/bin:/usr/bin";
    for (size_t start = 0; start <= directories.size();)
    {
        size_t end = directories.find(':', start);
        if (end == std::string::npos)
            end = directories.size();
        const std::string directory = directories.substr(start, end - start);
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

bool CVideoEncoder::Start(const std::string& program, const std::string& file, int width,
                          int height, std::string* reason)
{
    std::string ignored;
    Finish(&ignored);
    if (width <= 0 || height <= 0)
    {
        *reason = "fen\xEAtre vide";
        return false;
    }
    // Once for the whole process: an encoder that dies must give EPIPE on
    // the next write, not kill the viewer.
    static const bool pipeSignalIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)pipeSignalIgnored;

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
    {
        *reason = SystemReason("tube", errno);
        return false;
    }
    const std::vector<std::string> arguments =
        EncoderArguments(program, file, std::to_string(width) + "x" + std::to_string(height));
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    if (error != 0)
    {
        close(ends[1]);
        *reason = SystemReason("lancement", error);
        return false;
    }
    child = pid;
    input = ends[1];
    frameWidth = width;
    frameHeight = height;
    rows.resize(size_t(width) * height * 3);
    return true;
}

bool CVideoEncoder::WriteFrame(const unsigned char* pixels, std::string* reason)
{
    if (!IsRunning())
    {
        *reason = "encodeur arr\xEAt\xE9";
        return false;
    }
    const size_t stride = size_t(frameWidth) * 3;
    for (int r = 0; r < frameHeight; ++r)
        std::memcpy(&rows[size_t(r) * stride], pixels + size_t(frameHeight - 1 - r) * stride, stride);
    for (size_t done = 0; done < rows.size();)
    {
        const ssize_t n = write(input, rows.data() + done, rows.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            *reason = SystemReason("\xE9" "criture", n < 0 ? errno : EIO);
            std::string ended;
            if (!Finish(&ended))
                *reason += ", " + ended;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool CVideoEncoder::Finish(std::string* reason)
{
    if (!IsRunning())
        return true;
    close(input);
    input = -1;
    int status = 0;
    pid_t waited;
    do
        waited = waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    child = -1;
    if (waited < 0)
    {
        *reason = SystemReason("attente", errno);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    *reason = WIFEXITED(status) ? "ffmpeg a termin\xE9 avec le code " + std::to_string(WEXITSTATUS(status))
                                : "ffmpeg arr\xEAt\xE9 par le signal " + std::to_string(WTERMSIG(status));
    return false;
}
