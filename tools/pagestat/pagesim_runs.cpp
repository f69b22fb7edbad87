#include "tools/pagestat/pagesim_runs.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <system_error>

#include "memory/engine.hpp"
#include "policies/event_stream.hpp"
#include "run/trace_run.hpp"

static_assert(kWhatIfPageBytes == kPageSize, "the what-if model pages as pagesim does");

namespace {

// An address on `page` that the model pages back to `page` and that is never
// 0, which as a read address would end the process.
int32_t address_on(int32_t page) {
  return page == 0 ? 1 : page * kPageSize;
}

}  // namespace

// Feeds the trace's records to the model one reference at a time, keeping
// who owns each frame so that a dirty eviction can be charged to the process
// whose page left.
class ModelFeed {
 public:
  ModelFeed(const ReferenceTrace& trace, PagesimRun& run)
      : trace_(trace), run_(run), cursor_(trace) {}

  /// Whether every record has been run.
  bool done() const { return cursor_.done(); }
  /// Runs the next record and returns the event position after it.
  /// REQUIRES: !done(); the engine is in this run's state.
  uint64_t record() {
    ++sim.record_number;
    const uint32_t event = cursor_.take();
    if (is_termination_event(event)) {
      termination(terminated_process(event));
    } else {
      references(event, cursor_.take());
      run_.references += 2;
    }
    (void)take_events();
    (void)take_messages();
    return cursor_.position();
  }

 private:
  void termination(uint32_t process) {
    // The freed frames need no owner: a fault gives them one before any
    // eviction can take them.
    const int32_t record[kRecordFields] = {trace_.activity(process).proc, 0, 0};
    process_record(record);
  }

  /// The two references of a record; both belong to one process.
  void references(uint32_t read_event, uint32_t write_event) {
    const uint32_t process = trace_.process_of(referenced_page(read_event));
    const int64_t misses = sim.tlb_misses;
    reference(read_event, process);
    reference(write_event, process);
    run_.processes[process].tlb_misses += sim.tlb_misses - misses;
  }

  void reference(uint32_t event, uint32_t process) {
    const PageKey key = trace_.page_key(referenced_page(event));
    const uint32_t free_before = sim.free_frame_mask;
    const int64_t faults = sim.page_faults, dirty = sim.dirty_writes;
    translate(key.proc, address_on(key.page), is_write_event(event) ? 1 : 0);
    if (sim.page_faults == faults) return;
    ++run_.processes[process].page_faults;
    // The page went into the frame that stopped being free, or else over
    // the victim.
    const uint32_t filled = free_before & ~sim.free_frame_mask;
    if (filled != 0) {
      owner_[std::countr_zero(filled)] = process;
      return;
    }
    ++run_.evictions;
    const int32_t victim = last_victim();
    if (sim.dirty_writes != dirty) ++run_.processes[owner_[victim]].dirty_writes;
    owner_[victim] = process;
  }

  const ReferenceTrace& trace_;
  PagesimRun& run_;
  EventCursor cursor_;
  uint32_t owner_[kFrames] = {};  ///< process number of each frame's page
};

namespace {

// The run behind run_pagesim, telling `progress`, when given, each record
// before the model runs it.
PagesimRun run_model(const ReferenceTrace& trace, int32_t mode,
                     std::span<const uint64_t> interval_ends, std::optional<int64_t> stop_before,
                     volatile int64_t* progress) {
  PagesimRun run;
  run.mode = mode;
  run.processes.resize(trace.processes());
  start_engine(mode);
  ModelFeed feed(trace, run);
  size_t next_interval = 0;
  int64_t misses_before = 0, faults_before = 0;
  const auto close_intervals = [&](uint64_t position) {
    for (; next_interval < interval_ends.size() && interval_ends[next_interval] <= position;
         ++next_interval) {
      run.interval_tlb_misses.push_back(sim.tlb_misses - misses_before);
      run.interval_faults.push_back(sim.page_faults - faults_before);
      misses_before = sim.tlb_misses;
      faults_before = sim.page_faults;
    }
  };
  while (!feed.done()) {
    if (stop_before && sim.record_number + 1 >= *stop_before) break;
    if (progress != nullptr) *progress = sim.record_number + 1;
    close_intervals(feed.record());
  }
  if (stop_before) close_intervals(trace.events());  // the records not run count nothing
  run.records = sim.record_number;
  run.tlb_misses = sim.tlb_misses;
  run.page_faults = sim.page_faults;
  run.dirty_writes = sim.dirty_writes;
  print_totals();
  run.totals_text = std::string(take_messages());
  run.ended_at_record = stop_before;
  return run;
}

}  // namespace

PagesimRun run_pagesim(const ReferenceTrace& trace, int32_t mode,
                       std::span<const uint64_t> interval_ends,
                       std::optional<int64_t> stop_before) {
  return run_model(trace, mode, interval_ends, stop_before, nullptr);
}

std::optional<int64_t> find_inconsistent_record(const ReferenceTrace& trace, int32_t mode) {
  // The child tells how far it got through memory shared with this process:
  // pagesim's model leaves the program on an inconsistent entry.
  void* shared =
      mmap(nullptr, sizeof(int64_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return std::nullopt;
  volatile int64_t* record_reached = static_cast<int64_t*>(shared);
  *record_reached = 0;
  const pid_t child = fork();
  if (child < 0) {
    const int fork_errno = errno;
    munmap(shared, sizeof(int64_t));
    // Run here, the model could end the whole program part way.
    throw std::system_error(fork_errno, std::generic_category(),
                            "could not start a process to try the trace");
  }
  if (child == 0) {
    // The model's own report of the entry goes nowhere; the caller words it.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDERR_FILENO);
    run_model(trace, mode, {}, std::nullopt, record_reached);
    _exit(0);
  }
  std::optional<int64_t> ended;
  int status = 0;
  // pagesim's model ends the program with status 1 on the entry.
  if (waitpid(child, &status, 0) == child && WIFEXITED(status) &&
      WEXITSTATUS(status) == kExitFailure)
    ended = *record_reached;
  munmap(shared, sizeof(int64_t));
  return ended;
}

PagesimIntervals::PagesimIntervals(const ReferenceTrace& trace, int32_t mode,
                                   std::optional<int64_t> stop_before)
    : trace_(trace), mode_(mode), stop_before_(stop_before) {
  counts_.processes.resize(trace.processes());
  feed_ = std::make_unique<ModelFeed>(trace, counts_);
}

PagesimIntervals::~PagesimIntervals() = default;

void PagesimIntervals::run(std::span<const uint64_t> ends, std::vector<int64_t>* tlb_misses,
                           std::vector<int64_t>* faults) {
  if (state_) {
    restore_machine(*state_);
  } else {
    start_engine(mode_);
    state_ = std::make_unique<MachineState>();
  }
  for (const uint64_t end : ends) {
    const int64_t misses_before = sim.tlb_misses, faults_before = sim.page_faults;
    while (position_ < end) {
      if (stop_before_ && sim.record_number + 1 >= *stop_before_) {
        position_ = trace_.events();  // the records not run count nothing
        break;
      }
      position_ = feed_->record();
    }
    tlb_misses->push_back(sim.tlb_misses - misses_before);
    faults->push_back(sim.page_faults - faults_before);
  }
  *state_ = save_machine();
}
