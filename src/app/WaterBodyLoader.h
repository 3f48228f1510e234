// CWaterBodyLoader: a CWaterBody started from a scene directory the way
// ripplex-sim starts one, for hosts that embed the simulation (the Python
// module, C++ programs linking Ripplex::core). It enters the directory,
// initialises the body from the files there, logs the keys that had no
// effect, and comes back to the directory it was called from, so asset
// names in the option files stay relative to the scene directory and the
// host's own relative paths are untouched afterwards.
//
// Deliberately not done: no locking. The current directory, the log and
// the option cache belong to the whole process; while Load runs, nothing
// else in the process may rely on the current directory.
#pragma once

#include <memory>

class CWaterBody;

class CWaterBodyLoader
{
public:
    // The body, or null with the reasons logged as the programs log them
    // (a directory that cannot be entered, a refused file, a failed start).
    // "simulation.opt" and "events.opt" are read afresh from `directory`,
    // whatever the cache held: every body of a process gets its own files.
    // The lists they replace stay alive, so the names of the objects of
    // bodies loaded before stay valid.
    static std::unique_ptr<CWaterBody> Load(const char* directory);
};
