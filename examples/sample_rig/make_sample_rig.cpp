// Makes the sample rigged arm:
//   make_sample_rig MESH.mqd OUT.mqd      the sample, on the meshes of MESH.mqd
//   make_sample_rig --dense N OUT.mqd     the same rig on an arm of about N vertices
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "examples/sample_rig/sample_rig.h"

int main(int argc, char** argv) {
  const bool dense = argc == 4 && std::strcmp(argv[1], "--dense") == 0;
  if (argc != 3 && !dense) {
    std::fprintf(stderr, "usage: make_sample_rig MESH.mqd OUT.mqd | make_sample_rig --dense N OUT.mqd\n");
    return 2;
  }
  std::string error;
  bool ok = false;
  if (dense) {
    const int vertices = std::atoi(argv[2]);
    if (vertices < 16) {
      std::fprintf(stderr, "make_sample_rig: --dense needs at least 16 vertices\n");
      return 2;
    }
    ok = quorvel_sample::MakeDenseSampleFile(vertices, argv[3], &error);
  } else {
    ok = quorvel_sample::MakeSampleFile(argv[1], argv[2], &error);
  }
  if (!ok) {
    std::fprintf(stderr, "make_sample_rig: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
