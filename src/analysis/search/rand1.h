// The library's uniform generator: three multiplicative congruential
// generators combined, so that runs repeat exactly from a given seed.
#pragma once

#include <cmath>
#include <cstdint>

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

  friend bool operator==(const Rand1State&, const Rand1State&) = default;
};

// Advances the state and returns a real in [0, 1).
double rand1(Rand1State& state);

// The state after `draws` further draws, in O(log draws): each stream is
// multiplied by its multiplier raised to the power `draws`.
Rand1State rand1_jumped(const Rand1State& state, std::uint64_t draws);

// The next `count` draws into out[0..count-1]: the same values, bit for
// bit, as `count` calls of rand1.
void rand1_fill(Rand1State& state, double* out, int count);

// The defining formula, with its divisions: rand1 gives the same bits.
inline double rand1_inline(Rand1State& state) {
  state.RX = (171 * state.RX) % 30269;
  state.RY = (172 * state.RY) % 30309;
  state.RZ = (170 * state.RZ) % 30323;
  const double v = state.RX / 30269.0 + state.RY / 30309.0 + state.RZ / 30323.0;
  return v - std::trunc(v);
}

}  // namespace snp
