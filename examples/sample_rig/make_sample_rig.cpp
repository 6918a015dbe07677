// Makes the sample rigged arm: make_sample_rig MESH.mqd OUT.mqd
#include <cstdio>
#include <string>

#include "examples/sample_rig/sample_rig.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_sample_rig MESH.mqd OUT.mqd\n");
    return 2;
  }
  std::string error;
  if (!quorvel_sample::MakeSampleFile(argv[1], argv[2], &error)) {
    std::fprintf(stderr, "make_sample_rig: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
