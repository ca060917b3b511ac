// The deterministic random source of the sample library generator: SplitMix64,
// so a seed gives the same numbers on every machine and with every compiler,
// unlike the distributions of <random>.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_SAMPLE_RANDOM_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_SAMPLE_RANDOM_H_

#include <cstddef>
#include <cstdint>
#include <span>

namespace tomeva {

class SampleRandom {
 public:
  explicit SampleRandom(uint64_t seed) : state_(seed) {}

  // A seed for an independent stream derived from seed and a label (a book
  // number, an author index), so one stream's use does not shift another's.
  static uint64_t Derive(uint64_t seed, uint64_t label) {
    SampleRandom mixer(seed ^ (label * 0xd1b54a32d192ed03ull));
    mixer.Next();
    return mixer.Next();
  }

  // The next 64 random bits.
  uint64_t Next() {
    state_ += 0x9e3779b97f4a7c15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }

  // A number in [0, n); 0 when n is 0.
  uint64_t Below(uint64_t n) { return n == 0 ? 0 : Next() % n; }

  // A number in [low, high]; low when high < low.
  int Between(int low, int high) {
    if (high <= low) return low;
    return low + static_cast<int>(Below(static_cast<uint64_t>(high - low) + 1));
  }

  // True with the given chance in percent (0 never, 100 and above always).
  bool Percent(unsigned percent) { return Below(100) < percent; }

  // One element of a non-empty span.
  template <typename T>
  const T& Pick(std::span<const T> items) {
    return items[Below(items.size())];
  }

 private:
  uint64_t state_;
};

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_SAMPLE_RANDOM_H_
