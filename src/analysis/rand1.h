// The library's uniform generator: three multiplicative congruential
// generators combined, so that runs repeat exactly from a given seed.
#pragma once

namespace snp {

struct Rand1State {
  int RX = 1;
  int RY = 3;
  int RZ = 5;

  void seed(int rx, int ry, int rz) {
    RX = rx;
    RY = ry;
    RZ = rz;
  }
};

// Advances the state and returns a real in [0, 1).
double rand1(Rand1State& state);

}  // namespace snp
