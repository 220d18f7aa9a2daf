#include "analysis/rand1.h"

#include <vector>

namespace snp {
namespace {

// multiplier^draws * value mod modulus.
int jump_stream(int value, std::uint64_t draws, std::int64_t multiplier, std::int64_t modulus) {
  std::int64_t result = value % modulus;
  std::int64_t power = multiplier % modulus;
  for (; draws > 0; draws >>= 1) {
    if (draws & 1) result = result * power % modulus;
    power = power * power % modulus;
  }
  return static_cast<int>(result);
}

}  // namespace

double rand1(Rand1State& state) { return rand1_inline(state); }

Rand1State rand1_jumped(const Rand1State& state, std::uint64_t draws) {
  Rand1State next;
  next.RX = jump_stream(state.RX, draws, 171, 30269);
  next.RY = jump_stream(state.RY, draws, 172, 30309);
  next.RZ = jump_stream(state.RZ, draws, 170, 30323);
  return next;
}

namespace {

// x / modulus for every state 0 <= x < modulus, computed once: the same
// bits as the division.
struct QuotientTables {
  std::vector<double> x, y, z;
  QuotientTables() : x(30269), y(30309), z(30323) {
    for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i) / 30269.0;
    for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<double>(i) / 30309.0;
    for (size_t i = 0; i < z.size(); ++i) z[i] = static_cast<double>(i) / 30323.0;
  }
};

const QuotientTables& quotients() {
  static const QuotientTables tables;
  return tables;
}

}  // namespace

namespace {

// The draws of kLanes runs side by side: lane l takes out[l * run ..
// l * run + run - 1], starting from state (x[l], y[l], z[l]). v lies in
// [0, 3): its integral part, as converted to an integer, is exact, and so
// is v minus it: the same bits as v - trunc(v).
template <int kLanes>
void fill_lanes(const QuotientTables& q, std::uint32_t* x, std::uint32_t* y, std::uint32_t* z, double* out, int run) {
  const double* qx = q.x.data();
  const double* qy = q.y.data();
  const double* qz = q.z.data();
  for (int t = 0; t < run; ++t) {
    for (int l = 0; l < kLanes; ++l) {
      x[l] = (171u * x[l]) % 30269u;
      y[l] = (172u * y[l]) % 30309u;
      z[l] = (170u * z[l]) % 30323u;
      const double v = qx[x[l]] + qy[y[l]] + qz[z[l]];
      out[l * run + t] = v - static_cast<double>(static_cast<int>(v));
    }
  }
}

}  // namespace

void rand1_fill(Rand1State& state, double* out, int count) {
  if (count <= 0) return;
  // A negative seed keeps its streams negative: draw one at a time.
  constexpr int kLanes = 8;
  if (state.RX < 0 || state.RY < 0 || state.RZ < 0 || count < 16 * kLanes) {
    for (int i = 0; i < count; ++i) out[i] = rand1_inline(state);
    return;
  }
  // The draws are cut into kLanes runs, each started from its jumped-ahead
  // state, so that the chains of the streams run side by side.
  const int run = count / kLanes;
  std::uint32_t x[kLanes], y[kLanes], z[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    const Rand1State start = rand1_jumped(state, static_cast<std::uint64_t>(l) * static_cast<std::uint64_t>(run));
    x[l] = static_cast<std::uint32_t>(start.RX);
    y[l] = static_cast<std::uint32_t>(start.RY);
    z[l] = static_cast<std::uint32_t>(start.RZ);
  }
  fill_lanes<kLanes>(quotients(), x, y, z, out, run);
  Rand1State last{static_cast<int>(x[kLanes - 1]), static_cast<int>(y[kLanes - 1]), static_cast<int>(z[kLanes - 1])};
  for (int i = kLanes * run; i < count; ++i) out[i] = rand1_inline(last);
  state = last;
}

}  // namespace snp
