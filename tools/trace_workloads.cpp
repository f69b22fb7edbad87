#include "tools/trace_workloads.hpp"

namespace {

constexpr int32_t kPageBytes = 1024;
constexpr int32_t kPages = 64;
constexpr int32_t kUniformProcesses = 8;
// Records per phase of the mixed workload.
constexpr uint64_t kMixedPhase = 50'000;

uint64_t splitmix64(uint64_t* x) {
  uint64_t z = (*x += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

uint64_t rotate_left(uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

}  // namespace

TraceRandom::TraceRandom(uint64_t seed) {
  for (uint64_t& word : state_) word = splitmix64(&seed);
}

uint64_t TraceRandom::next() {
  const uint64_t result = rotate_left(state_[1] * 5, 7) * 9;
  const uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = rotate_left(state_[3], 45);
  return result;
}

bool parse_workload(std::string_view name, Workload* workload) {
  if (name == "uniform")
    *workload = Workload::kUniform;
  else if (name == "local")
    *workload = Workload::kLocal;
  else if (name == "mixed")
    *workload = Workload::kMixed;
  else
    return false;
  return true;
}

TraceGenerator::TraceGenerator(Workload workload, uint64_t seed)
    : workload_(workload), random_(seed) {
  local_processes_ = 4 + static_cast<int32_t>(random_.below(3));
  for (int p = 0; p < kMaxLocalProcesses; ++p) {
    set_size_[p] = 3 + static_cast<int32_t>(random_.below(4));
    set_base_[p] = static_cast<int32_t>(random_.below(kPages - set_size_[p] + 1));
  }
}

TraceRecord TraceGenerator::next() {
  const uint64_t index = produced_++;
  if (workload_ == Workload::kUniform) return next_uniform();
  if (workload_ == Workload::kLocal) return next_local();
  TraceRecord record = (index / kMixedPhase) % 2 == 0 ? next_local() : next_uniform();
  if (record.first != 0 && random_.one_in(200)) {
    if (random_.one_in(2))
      record.first = out_of_range_address();
    else
      record.second = out_of_range_address();
  }
  return record;
}

TraceRecord TraceGenerator::next_uniform() {
  const int32_t proc = static_cast<int32_t>(random_.below(kUniformProcesses));
  if (random_.one_in(100)) return {proc, 0, 0};
  const auto address = [this] { return static_cast<int32_t>(random_.below(kPages * kPageBytes)); };
  int32_t first = address();
  if (first == 0) first = 1;  // 0 would end the process
  return {proc, first, address()};
}

TraceRecord TraceGenerator::next_local() {
  if (burst_left_ == 0) {
    burst_proc_ = static_cast<int32_t>(random_.below(static_cast<uint32_t>(local_processes_)));
    burst_left_ = 100 + random_.below(900);
  }
  --burst_left_;
  const int32_t proc = burst_proc_;
  if (random_.one_in(50'000)) return {proc, 0, 0};
  // The working set drifts by a page now and then.
  if (random_.one_in(2'000)) {
    int32_t& base = set_base_[proc];
    if (random_.one_in(2)) {
      if (base > 0) --base;
    } else if (base + set_size_[proc] < kPages) {
      ++base;
    }
  }
  return {proc, local_address(proc), local_address(proc)};
}

int32_t TraceGenerator::local_address(int32_t proc) {
  const int32_t page =
      set_base_[proc] + static_cast<int32_t>(random_.below(static_cast<uint32_t>(set_size_[proc])));
  const int32_t address = page * kPageBytes + static_cast<int32_t>(random_.below(kPageBytes));
  return address == 0 ? 1 : address;
}

int32_t TraceGenerator::out_of_range_address() {
  if (random_.one_in(2)) return -1024 - static_cast<int32_t>(random_.below(64 * kPageBytes));
  return kPages * kPageBytes + static_cast<int32_t>(random_.below(64 * kPageBytes));
}
