// The baseline of the loading benchmarks: a plain read() of a whole file into memory.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace qm::bench {

inline void ReadWholeFile(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        const int fd = open(path.c_str(), O_RDONLY);
        std::string bytes(static_cast<size_t>(lseek(fd, 0, SEEK_END)), '\0');
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        close(fd);
        benchmark::DoNotOptimize(bytes.data());
    }
}

}  // namespace qm::bench
