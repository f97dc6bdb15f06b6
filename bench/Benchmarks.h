#pragma once
// The benchmarks of serbox_bench; each prints its figures on stdout and throws
// when the exchange it measures goes wrong (a benchmark of a broken exchange
// would measure nothing).

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

void Latency(int polls);
// Receptions of text sections of the given sizes, the device sending chunk bytes
// between polls, unthrottled.
void Throughput(const std::vector<size_t>& megabytes, size_t chunk);
void ListingSpeed(const std::vector<size_t>& megabytes);
// A real idle serbox process (program) for the given seconds.
void IdleCpu(const std::string& program, int seconds);
// serbox-cli (program) waiting for a device for the given seconds, then receiving
// text sections of the given sizes in one batch.
void CliFigures(const std::string& program, int seconds, const std::vector<size_t>& megabytes);
// serbox-cli receiving rounds small sets in one batch: its memory after the
// first and before the last.
void CliSoak(const std::string& program, int rounds);
// A received set stored in each folder, with and without its syncs; then the
// replies of receptions in the real window, the last poll's beside the others.
void Store(const std::vector<std::string>& folders, int rounds);
// Device text lines flooding Memo1 in the idle state.
void Terminal(size_t lines);

}  // namespace bench
