// Writes a generated fleet of machine folders for the fleet page's browser
// test, the demo and the process bench.
//
//   fleet_generate PARENT N [seed (1)]
//
// PARENT is made when missing and must be empty, so that nothing of an
// earlier fleet is planned with it.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/fleet_machines.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  char* end = nullptr;
  const long count = argc >= 3 ? std::strtol(argv[2], &end, 10) : -1;
  if (argc < 3 || argc > 4 || *end != 0 || count < 0) {
    std::fprintf(stderr, "usage: fleet_generate PARENT N [seed]\n");
    return 2;
  }
  const unsigned long seed = argc == 4 ? std::strtoul(argv[3], &end, 10) : 1;
  if (argc == 4 && *end != 0) {
    std::fprintf(stderr, "fleet_generate: seed %s is no number\n", argv[3]);
    return 2;
  }
  std::error_code error;
  fs::create_directories(argv[1], error);
  if (error || !fs::is_directory(argv[1]) || !fs::is_empty(argv[1], error)) {
    std::fprintf(stderr, "fleet_generate: %s is no empty folder\n", argv[1]);
    return 2;
  }
  const fleet_machines::Fleet fleet =
      fleet_machines::WriteFleet(argv[1], static_cast<int>(count), static_cast<unsigned>(seed));
  std::printf("%zu machine folders (%.1f MB) under %s\n", fleet.folders.size(),
              fleet.bytes / 1e6, argv[1]);
  return 0;
}
