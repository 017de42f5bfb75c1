// Throughput of the search's record scanner against the record-by-record
// reader, on an in-memory file of generated bookings.
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <string>

#include "tickets/record_scan.h"
#include "tickets/ticket_file.h"

namespace {

// A memory-backed ticket file of about 64 MB, made once.
int ticketFile() {
  static const int fd = [] {
    std::mt19937 random(1);
    std::string bytes;
    while (bytes.size() < (64u << 20)) {
      bytes += std::to_string(random() % 9999 + 1) + "\nAda Lovelace\nZootopia\n24-12-2026\n" +
               std::to_string(1000 + random() % 1300) + "\n2\n3\nAdult\n150\n\n";
    }
    int file = memfd_create("tickets", 0);
    if (file < 0 || write(file, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      std::abort();
    }
    return file;
  }();
  return fd;
}

void BM_ScanBookings(benchmark::State& state) {
  int fd = ticketFile();
  for (auto _ : state) {
    lseek(fd, 0, SEEK_SET);
    std::size_t pieces = 0;
    scanResult result = scanBookings(fd, "1234", [&](std::size_t, std::string_view) { ++pieces; });
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(state.iterations() * lseek(fd, 0, SEEK_END));
}
BENCHMARK(BM_ScanBookings)->Unit(benchmark::kMillisecond);

void BM_ReadRecordByRecord(benchmark::State& state) {
  int fd = ticketFile();
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  for (auto _ : state) {
    TicketReader reader(path);
    std::size_t found = 0;
    while (auto record = reader.readRecord()) found += (*record)[0] == "1234";
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * lseek(fd, 0, SEEK_END));
}
BENCHMARK(BM_ReadRecordByRecord)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
