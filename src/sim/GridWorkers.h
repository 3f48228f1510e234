// CGridWorkers: a small fixed pool of threads for the grid stages of the
// water simulation. Every call to Run hands each thread one fixed band
// index, so which thread computes which rows never depends on scheduling;
// the caller's own thread takes band 0. Not a general task system: no
// queue, no work stealing, one job at a time, started from one thread.
#pragma once

#include <barrier>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class CGridWorkers
{
public:
    // threadCount counts the caller too; 1 makes no thread at all.
    explicit CGridWorkers(int threadCount);
    ~CGridWorkers();
    CGridWorkers(const CGridWorkers&) = delete;
    CGridWorkers& operator=(const CGridWorkers&) = delete;

    int ThreadCount() const { return threadCount; }

    // Calls job(band) once for every band 0..ThreadCount()-1, each on its own
    // thread, and returns when all have returned. No allocation.
    template <class Job>
    void Run(Job& job)
    {
        RunErased(&InvokeJob<Job>, &job);
    }

    // Inside a job: returns once every band has reached it. Each band must
    // call it the same number of times.
    void Barrier();

    // Rows [first, first + count) split into ThreadCount() contiguous bands
    // whose sizes differ by at most one; band b gets [*begin, *end).
    void BandRows(int band, uint32_t first, uint32_t count, uint32_t* begin, uint32_t* end) const;

    // Threads wanted for iThreads (0 or less: one per core), never more
    // than MAX_THREADS, so per-band tables can be fixed arrays.
    static constexpr int MAX_THREADS = 256;
    static int ThreadsFor(int32_t requested);

    // Per-band scratch memory of at least `floats` floats each, kept from
    // call to call so that steps allocate nothing; false when it cannot be
    // had (the caller then takes a path that needs none).
    bool ReserveScratch(size_t floats);
    float* Scratch(int band) { return scratch[band].data(); }

    // Per-band lists of indices (e.g. the corners a band found), LISTS per
    // band, kept from call to call like the scratch; the job clears and
    // fills them.
    static constexpr int LISTS = 2;
    std::vector<uint32_t>& Indices(int band, int list = 0) { return indices[band * LISTS + list]; }

private:
    using ErasedJob = void (*)(void* job, int band);

    template <class Job>
    static void InvokeJob(void* job, int band)
    {
        (*static_cast<Job*>(job))(band);
    }

    void RunErased(ErasedJob function, void* job);
    void StopThreads();
    void WorkerLoop(int band);

    int threadCount;
    std::vector<std::thread> threads;
    std::vector<std::vector<float>> scratch;  // one buffer per band
    std::vector<std::vector<uint32_t>> indices;  // LISTS per band
    std::barrier<> barrier;

    std::mutex mutex;
    std::condition_variable wake;      // workers wait here for a new job
    std::condition_variable finished;  // Run waits here for the last band
    uint64_t generation = 0;           // bumped once per job
    int pending = 0;                   // worker bands still running the job
    bool stopping = false;
    ErasedJob currentFunction = nullptr;
    void* currentJob = nullptr;
};

// Splits rows among a pool's threads, or runs everything on the calling
// thread, as one band, when there is no pool.
struct BandRunner
{
    CGridWorkers* pool;

    int BandCount() const { return pool ? pool->ThreadCount() : 1; }

    void Rows(int band, uint32_t first, uint32_t count, uint32_t* begin, uint32_t* end) const
    {
        if (pool)
            pool->BandRows(band, first, count, begin, end);
        else
        {
            *begin = first;
            *end = first + count;
        }
    }

    void Barrier() const
    {
        if (pool)
            pool->Barrier();
    }

    template <class Job>
    void Run(Job& job) const
    {
        if (pool)
            pool->Run(job);
        else
            job(0);
    }
};
