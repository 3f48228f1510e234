// CVideoEncoder: recorded frames sent straight to a video file through an
// ffmpeg process, instead of one TGA file a frame. The video is H.264 in
// yuv420p at 100/3 frames per second (0.03 s of simulated time a frame),
// its container chosen by ffmpeg from the file's extension; a frame of odd
// width or height is padded with one black column or row, since the
// encoder needs even sizes. No OpenGL here: frames come in as the window's
// pixels, RGB, bottom row first.
//
// ffmpeg is started directly with an argument vector (no shell), so any
// file name is passed as it is; its standard input is a pipe of raw RGB
// frames, top row first. A broken pipe must not end the viewer: SIGPIPE is
// ignored from the first start on (the child gets it back at its default),
// and a write to an encoder that has died fails with EPIPE instead.
//
// Deliberately not done: no sound, no choice of codec or quality (ffmpeg's
// defaults for libx264), no timeout on an encoder that stops reading.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class CVideoEncoder
{
public:
    CVideoEncoder() = default;
    ~CVideoEncoder();  // finishes a running encoder, its result unread
    CVideoEncoder(const CVideoEncoder&) = delete;
    CVideoEncoder& operator=(const CVideoEncoder&) = delete;

    // The full name of the executable file `name` in the first directory of
    // PATH that holds one, as the shell would find it (PATH unset: /bin and
    // /usr/bin; an empty entry: the current directory). Empty when none.
    static std::string FindOnPath(const char* name);

    // Starts `program` (ffmpeg) encoding frames of width × height pixels
    // into `file`, which it creates or replaces. False, with the reason in
    // *reason, when the process cannot be started.
    bool Start(const std::string& program, const std::string& file, int width, int height,
               std::string* reason);
    bool IsRunning() const { return child > 0; }

    // One frame of width × height × 3 bytes, RGB, bottom row first. False,
    // with the reason, when the encoder no longer takes frames (it has
    // ended); the encoder is then finished.
    bool WriteFrame(const unsigned char* pixels, std::string* reason);

    // Ends the frames and waits for the encoder to write the file. False,
    // with the reason, when it did not end with status 0. Nothing to do
    // when it is not running.
    bool Finish(std::string* reason);

private:
    pid_t child = -1;
    int input = -1;  // the write end of the encoder's standard input
    int frameWidth = 0;
    int frameHeight = 0;
    std::vector<unsigned char> rows;  // one frame, top row first
};
