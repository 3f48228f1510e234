// SimEvent: one entry of the event script ("events.opt").
#pragma once

#include <cstdint>

#include "sim/SimObject.h"

struct SimEvent
{
    int32_t type = 1;        // 1 object event; any other value does nothing
    double time = 0.0;       // simulated seconds of the next firing
    bool once = true;        // removed after firing, else rescheduled
    double addTime = 0.0;    // interval of a repeating event
    bool addObject = true;   // add `object`, else remove one named like it
    SimObject object;
};
