#pragma once
// The command line of the generators that write one file and can check it:
//   <generator> <output path>       writes the file
//   <generator> --check <path>      reads a file back; 0 when it is right
#include <cstdio>
#include <cstring>

inline int WriteOrCheck(int argc, char** argv, int (*write)(const char*), int (*check)(const char*)) {
  if (argc == 2) return write(argv[1]);
  if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return check(argv[2]);
  std::fprintf(stderr, "usage: %s <output> | --check <file>\n", argv[0]);
  return 2;
}
