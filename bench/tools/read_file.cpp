// read_file <file>
//
// The floor of a small run: a program that starts, opens a file, reads it
// to the end in 64 KiB blocks, counts its line feeds (so that the reading
// cannot be optimised away) and exits. bench/run.sh times it beside a
// ringave run on the same file, both including process start.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_file <file>\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 2;
  }
  static char block[1 << 16];
  long lines = 0;
  for (;;) {
    const ssize_t n = read(fd, block, sizeof block);
    if (n < 0) {
      std::perror(argv[1]);
      return 2;
    }
    if (n == 0) break;
    for (const char* p = block; (p = static_cast<const char*>(std::memchr(p, '\n', block + n - p))) != nullptr; ++p)
      ++lines;
  }
  close(fd);
  return lines < 0;  // never: the count is used
}
