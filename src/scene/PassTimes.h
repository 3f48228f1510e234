// PassTimes: the per-pass timing of a drawn frame that
// RIPPLEX_FRAME_TIMES=passes asks for, shared by both looks. Graphics side.
//
// Each pass is finished (glFinish) and timed; each frame prints one line of
// the passes' real times, then one of their processor times (every thread
// of the process, the software renderer's own included), in milliseconds:
//
//   LABEL NAME1 t1 NAME2 t2 ... ms
//   LABEL-cpu NAME1 c1 NAME2 c2 ... ms
//
// The finishes keep the renderer from overlapping one pass with the next,
// so the sum slightly exceeds an untimed frame. Processor times depend
// much less on the load of the machine than real times. Without the
// variable, nothing is finished, timed or printed.
#pragma once

#include <initializer_list>

#include "app/Timer.h"

class PassTimes
{
public:
    static constexpr int MAX_PASSES = 8;

    // `names` in the order of the passes, at most MAX_PASSES.
    PassTimes(const char* label, std::initializer_list<const char*> names);

    void Start();
    void End(int pass);
    void Print() const;

private:
    const char* label;
    const char* names[MAX_PASSES] = {};
    int count = 0;
    bool on = false;
    CTimer timer;
    double cpu = 0.0;
    double real[MAX_PASSES] = {};
    double processor[MAX_PASSES] = {};
};
