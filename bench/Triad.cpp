// ripplex_triad: a STREAM-style probe of the machine's memory bandwidth,
// the bound the simulation step is measured against. a[i] = b[i] + s·c[i]
// over three arrays of doubles far larger than the caches, on one thread
// and on every core (each thread on its own contiguous share, first touched
// by that thread); the best of the repetitions is reported, as STREAM does.
// Bytes are counted as STREAM counts them: two reads and one write of 8
// bytes per element (the read for ownership before each write is not
// counted, and the step's bytes are counted the same way).
//
//   ripplex_triad [MiB per array, default 256] [repetitions, default 10]
//
// Deliberately not done: no other kernels (copy, scale, add), no pinning of
// threads to cores, no check against the machine's nominal figures.
#include <algorithm>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace
{

struct Arrays
{
    std::unique_ptr<double[]> a, b, c;
    size_t count;
};

// Seconds of the fastest of `repetitions` triads over the whole arrays,
// split into `threads` contiguous shares.
double BestTriad(Arrays& arrays, int threads, int repetitions)
{
    const size_t n = arrays.count;
    std::vector<double> seconds(size_t(repetitions), 0.0);
    std::barrier sync(threads);
    auto work = [&](int t)
    {
        const size_t begin = n * size_t(t) / size_t(threads);
        const size_t end = n * size_t(t + 1) / size_t(threads);
        double* a = arrays.a.get();
        const double* b = arrays.b.get();
        const double* c = arrays.c.get();
        for (size_t i = begin; i < end; ++i)  // first touch by the thread that uses it
            a[i] = 0.0;
        for (int r = 0; r < repetitions; ++r)
        {
            sync.arrive_and_wait();
            const auto start = std::chrono::steady_clock::now();
            for (size_t i = begin; i < end; ++i)
                a[i] = b[i] + 3.0 * c[i];
            sync.arrive_and_wait();
            if (t == 0)
                seconds[size_t(r)] =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work, t);
    work(0);
    for (std::thread& thread : pool)
        thread.join();
    return *std::min_element(seconds.begin(), seconds.end());
}

}  // namespace

int main(int argc, char** argv)
{
    const long mebibytes = argc > 1 ? std::atol(argv[1]) : 256;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 10;
    if (mebibytes <= 0 || repetitions <= 0)
    {
        std::fprintf(stderr, "usage: ripplex_triad [MiB per array > 0] [repetitions > 0]\n");
        return 2;
    }
    Arrays arrays;
    arrays.count = size_t(mebibytes) * 1024 * 1024 / sizeof(double);
    arrays.a.reset(new double[arrays.count]);
    arrays.b.reset(new double[arrays.count]);
    arrays.c.reset(new double[arrays.count]);
    std::fill(arrays.b.get(), arrays.b.get() + arrays.count, 1.0);
    std::fill(arrays.c.get(), arrays.c.get() + arrays.count, 2.0);

    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const double bytes = 3.0 * sizeof(double) * double(arrays.count);
    std::printf("triad over 3 x %ld MiB, best of %d\n", mebibytes, repetitions);
    for (int threads : {1, cores})
    {
        const double seconds = BestTriad(arrays, threads, repetitions);
        std::printf("threads %d: %.1f GB/s (%.2f ms)\n", threads, bytes / seconds * 1e-9,
                    seconds * 1e3);
        if (cores == 1)
            break;
    }
    return 0;
}
