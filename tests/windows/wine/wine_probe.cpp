// Started by the Wine session of a build tree to learn whether this machine
// runs programs of the build's architecture at all: it prints its pointer
// width and ends with 0. A machine without 32-bit support never gets here.
#include <cstdio>

int main() {
  std::printf("pointer bits: %u\n", static_cast<unsigned>(sizeof(void*) * 8));
  return 0;
}
