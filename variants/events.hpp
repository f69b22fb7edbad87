// The steps of the explaining model, as structured events, and the sink
// that receives them.
#pragma once

#include <cstdint>

namespace variants {

enum class EventKind : uint8_t {
  kRecord,        ///< a record starts: record (printed number), proc, address, second address
  kRelease,       ///< a termination record freed proc's entries and frames
  kTlbHit,        ///< reference hit entry `entry` (frame `frame`)
  kTlbMiss,       ///< reference found no usable entry
  kFrameHit,      ///< the frame search found the page in `frame`
  kScanStep,      ///< the replacement scan met `frame` with bits ref/dirty; `taken`: the victim
  kEviction,      ///< `frame` was taken from old_proc's old_page (old_dirty: counted as written)
  kPageFault,     ///< the page-fault line: page went into `frame`; `hand` as the display prints it
  kTlbLoad,       ///< the TLB line: (proc, page) -> frame into entry `entry`
  kTlbShootDown,  ///< entry `entry` emptied for the evicted page
  kBadPage,       ///< one "Error, bad frame number" line
  kInconsistent,  ///< the inconsistency stop: entry `entry` maps `page` to `frame`, which is
                  ///< free and holds old_page
};

struct Event {
  EventKind kind;
  int which = -1;      ///< 0: the record's read, 1: its write, -1: neither
  int64_t record = 0;  ///< the record number printed in lines
  int32_t proc = -1;
  int32_t page = -1;
  int32_t address = 0;  ///< kRecord: the read address; else the reference's address
  int32_t second = 0;   ///< kRecord: the write address
  int32_t frame = -1;
  int32_t entry = -1;
  int32_t hand = -1;
  int32_t ref = 0, dirty = 0;            ///< kScanStep: the bits as the scan met them
  int32_t moves = 0;                     ///< kScanStep: frames passed before this one
  bool taken = false;                    ///< kScanStep: the scan stopped here
  int32_t old_proc = -1, old_page = -1;  ///< kEviction, kTlbLoad (the mapping replaced);
                                         ///< kInconsistent: old_page is the frame's page
  bool old_dirty = false;                ///< kEviction
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void on_event(const Event& event) = 0;
};

/// Takes nothing: for runs that need only the state and its counters.
class NullSink final : public EventSink {
 public:
  void on_event(const Event&) override {}
};

}  // namespace variants
