#include "analysis/rand1.h"

#include <cmath>

namespace snp {

double rand1(Rand1State& state) {
  state.RX = (171 * state.RX) % 30269;
  state.RY = (172 * state.RY) % 30309;
  state.RZ = (170 * state.RZ) % 30323;
  const double v = state.RX / 30269.0 + state.RY / 30309.0 + state.RZ / 30323.0;
  return v - std::trunc(v);
}

}  // namespace snp
