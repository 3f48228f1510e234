// CGridWorkers: fixed thread pool of the grid stages (see the header).
#include "sim/GridWorkers.h"

#include <algorithm>

CGridWorkers::CGridWorkers(int count)
    : threadCount(std::max(count, 1)),
      scratch(std::max(count, 1)),
      indices(size_t(std::max(count, 1)) * LISTS),
      barrier(std::max(count, 1))
{
    try
    {
        threads.reserve(threadCount - 1);
        for (int band = 1; band < threadCount; ++band)
            threads.emplace_back([this, band] { WorkerLoop(band); });
    }
    catch (...)
    {
        StopThreads();  // the destructor will not run for a half-made pool
        throw;
    }
}

CGridWorkers::~CGridWorkers()
{
    StopThreads();
}

void CGridWorkers::StopThreads()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread& thread : threads)
        if (thread.joinable())
            thread.join();
}

int CGridWorkers::ThreadsFor(int32_t requested)
{
    if (requested > 0)
        return std::min<int32_t>(requested, MAX_THREADS);
    unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, MAX_THREADS));
}

void CGridWorkers::BandRows(int band, uint32_t first, uint32_t count, uint32_t* begin,
                            uint32_t* end) const
{
    uint64_t n = static_cast<uint64_t>(threadCount);
    *begin = first + static_cast<uint32_t>(count * static_cast<uint64_t>(band) / n);
    *end = first + static_cast<uint32_t>(count * static_cast<uint64_t>(band + 1) / n);
}

bool CGridWorkers::ReserveScratch(size_t floats)
{
    try
    {
        for (std::vector<float>& buffer : scratch)
            if (buffer.size() < floats)
                buffer.resize(floats);
    }
    catch (...)
    {
        return false;
    }
    return true;
}

void CGridWorkers::Barrier()
{
    if (threadCount > 1)
        barrier.arrive_and_wait();
}

void CGridWorkers::RunErased(ErasedJob function, void* job)
{
    if (threadCount > 1)
    {
        std::lock_guard<std::mutex> lock(mutex);
        currentFunction = function;
        currentJob = job;
        pending = threadCount - 1;
        ++generation;
    }
    wake.notify_all();
    function(job, 0);
    if (threadCount > 1)
    {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [this] { return pending == 0; });
    }
}

void CGridWorkers::WorkerLoop(int band)
{
    uint64_t seen = 0;
    for (;;)
    {
        ErasedJob function;
        void* job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [&] { return stopping || generation != seen; });
            if (stopping)
                return;
            seen = generation;
            function = currentFunction;
            job = currentJob;
        }
        function(job, band);
        bool last;
        {
            std::lock_guard<std::mutex> lock(mutex);
            last = --pending == 0;
        }
        if (last)
            finished.notify_one();
    }
}
