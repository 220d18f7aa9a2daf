#include "analysis/search/rand1.h"

#include <algorithm>
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

Rand1State rand1_jumped(const Rand1State& state, std::uint64_t draws) {
  Rand1State next;
  next.RX = jump_stream(state.RX, draws, 171, 30269);
  next.RY = jump_stream(state.RY, draws, 172, 30309);
  next.RZ = jump_stream(state.RZ, draws, 170, 30323);
  return next;
}

double rand1(Rand1State& state) {
  if (state.RX < 0 || state.RY < 0 || state.RZ < 0) return rand1_inline(state);
  // The quotients from the tables and the integral part by conversion
  // (v lies in [0, 3)): every bit as with the divisions and trunc.
  state.RX = (171 * state.RX) % 30269;
  state.RY = (172 * state.RY) % 30309;
  state.RZ = (170 * state.RZ) % 30323;
  const QuotientTables& q = quotients();
  const double v = q.x[static_cast<size_t>(state.RX)] + q.y[static_cast<size_t>(state.RY)] + q.z[static_cast<size_t>(state.RZ)];
  return v - static_cast<double>(static_cast<int>(v));
}

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

namespace {

// The states one stream runs through from its seed, in order, with their
// quotients; position[x] is the place of state x (-1 when not on it).
struct Orbit {
  std::vector<int> state;
  std::vector<double> quotient;
  std::vector<int> position;

  Orbit(int seed, int multiplier, int modulus) : position(static_cast<size_t>(modulus), -1) {
    int x = seed;
    do {
      position[static_cast<size_t>(x)] = static_cast<int>(state.size());
      state.push_back(x);
      quotient.push_back(static_cast<double>(x) / static_cast<double>(modulus));
      x = (multiplier * x) % modulus;
    } while (x != seed && state.size() <= static_cast<size_t>(modulus));
    if (x != seed) position.assign(position.size(), -1);  // not a cycle: never used
  }
  int period() const { return static_cast<int>(state.size()); }
};

// The orbits of the seeds every analysis starts from: its draws read the
// quotients in order instead of stepping the streams.
struct SeedOrbits {
  Orbit x{1, 171, 30269}, y{3, 172, 30309}, z{5, 170, 30323};
};

const SeedOrbits& seed_orbits() {
  static const SeedOrbits orbits;
  return orbits;
}

bool on(const Orbit& orbit, int value) {
  return value >= 0 && static_cast<size_t>(value) < orbit.position.size() &&
         orbit.position[static_cast<size_t>(value)] >= 0;
}

// The draws from states on the seed orbits: the quotients of the next
// states are read in runs over which no orbit wraps around.
void fill_from_orbits(const SeedOrbits& o, Rand1State& state, double* out, int count) {
  const auto next = [](const Orbit& orbit, int value) {
    const int at = orbit.position[static_cast<size_t>(value)] + 1;
    return at == orbit.period() ? 0 : at;
  };
  int ax = next(o.x, state.RX), ay = next(o.y, state.RY), az = next(o.z, state.RZ);
  for (int i = 0; i < count;) {
    const int run = std::min({count - i, o.x.period() - ax, o.y.period() - ay, o.z.period() - az});
    const double* qx = o.x.quotient.data() + ax;
    const double* qy = o.y.quotient.data() + ay;
    const double* qz = o.z.quotient.data() + az;
    double* block = out + i;
    for (int t = 0; t < run; ++t) {
      const double v = qx[t] + qy[t] + qz[t];
      block[t] = v - static_cast<double>(static_cast<int>(v));
    }
    i += run;
    ax = (ax + run) % o.x.period();
    ay = (ay + run) % o.y.period();
    az = (az + run) % o.z.period();
  }
  const auto last = [](const Orbit& orbit, int at) {
    return orbit.state[static_cast<size_t>(at == 0 ? orbit.period() - 1 : at - 1)];
  };
  state = {last(o.x, ax), last(o.y, ay), last(o.z, az)};
}

}  // namespace

void rand1_fill(Rand1State& state, double* out, int count) {
  if (count <= 0) return;
  const SeedOrbits& orbits = seed_orbits();
  if (on(orbits.x, state.RX) && on(orbits.y, state.RY) && on(orbits.z, state.RZ)) {
    fill_from_orbits(orbits, state, out, count);
    return;
  }
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
