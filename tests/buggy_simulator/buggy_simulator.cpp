// A simulator of the paging task written the way a student writes it: plain
// arrays, stdio and linear searches. With no --plant it gives pagesim's
// out.txt and totals; each --plant switches on one mistake users make, so
// the tests can hand pagediff outputs from a program it did not make.
//
//   buggy_simulator [--plant ID]... [MODE]
//
// Reads data.txt in the current folder, writes out.txt there, prints the
// messages and the four totals on standard output. No banner.
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kMaxTlb = 16;
const int kMaxFrames = 40;
const int kBestStart = 10000000;

struct TlbEntry {
  int proc;
  int logical_page;
  int physical_page;
  int last_use;
};

struct Frame {
  int ref;
  int dirty;
  int free;
  int logical_page;
  int proc;
};

TlbEntry tlb[kMaxTlb];
Frame frames[kMaxFrames];
int tlb_size = 8;
int frame_count = 20;
int page_size = 1024;
int mode = 0;
int clock_hand = 0;
int reference_clock = 0;
int record_number = 0;
int tlb_misses = 0;
int page_faults = 0;
int dirty_writes = 0;
FILE* out_file = nullptr;

// One flag per plantable mistake.
bool records_from_zero, terminations_not_counted, negative_address_floor, page_64_accepted;
bool write_before_read, tlb_line_before_fault_line, tlb_fifo, tlb_empty_highest_first;
bool tlb_ignores_process, tlb_no_load_on_frame_hit, tlb_kept_on_eviction;
bool termination_keeps_tlb, termination_keeps_frames, no_frame_search;
bool free_frame_highest_first, hand_moves_on_free_fault, hand_stays_on_victim;
bool hand_from_zero, no_second_chance, ref_only_on_miss, dirty_on_read;
bool dirty_missed_on_tlb_hit, clean_first_one_turn, clean_first_clears_dirty;
bool clean_first_any_unreferenced, dirty_counted_at_termination, every_eviction_counted;
bool faults_not_counted_as_misses, clean_first_keeps_ref, other_mode;
// Not a catalogued mistake: the victim is the frame just before the one the
// clock chose, so pagediff has a mistake it cannot name.
bool off_catalogue;

struct Plant {
  const char* id;
  bool* flag;
};

const Plant kPlants[] = {
    {"records-from-zero", &records_from_zero},
    {"terminations-not-counted", &terminations_not_counted},
    {"negative-address-floor", &negative_address_floor},
    {"page-64-accepted", &page_64_accepted},
    {"write-before-read", &write_before_read},
    {"tlb-line-before-fault-line", &tlb_line_before_fault_line},
    {"tlb-fifo", &tlb_fifo},
    {"tlb-empty-highest-first", &tlb_empty_highest_first},
    {"tlb-ignores-process", &tlb_ignores_process},
    {"tlb-no-load-on-frame-hit", &tlb_no_load_on_frame_hit},
    {"tlb-kept-on-eviction", &tlb_kept_on_eviction},
    {"termination-keeps-tlb", &termination_keeps_tlb},
    {"termination-keeps-frames", &termination_keeps_frames},
    {"no-frame-search", &no_frame_search},
    {"free-frame-highest-first", &free_frame_highest_first},
    {"hand-moves-on-free-fault", &hand_moves_on_free_fault},
    {"hand-stays-on-victim", &hand_stays_on_victim},
    {"hand-from-zero", &hand_from_zero},
    {"no-second-chance", &no_second_chance},
    {"ref-only-on-miss", &ref_only_on_miss},
    {"dirty-on-read", &dirty_on_read},
    {"dirty-missed-on-tlb-hit", &dirty_missed_on_tlb_hit},
    {"clean-first-one-turn", &clean_first_one_turn},
    {"clean-first-clears-dirty", &clean_first_clears_dirty},
    {"clean-first-any-unreferenced", &clean_first_any_unreferenced},
    {"dirty-counted-at-termination", &dirty_counted_at_termination},
    {"every-eviction-counted", &every_eviction_counted},
    {"faults-not-counted-as-misses", &faults_not_counted_as_misses},
    {"clean-first-keeps-ref", &clean_first_keeps_ref},
    {"other-mode", &other_mode},
    {"off-catalogue", &off_catalogue},
};

void usage(FILE* stream) {
  fprintf(stream, "usage: buggy_simulator [--plant ID]... [MODE]\n");
}

[[noreturn]] void fail(const char* message, const char* what) {
  fprintf(stderr, "buggy_simulator: %s%s\n", message, what);
  exit(2);
}

// Reads N of a "PREFIX-N" plant into `value` when N lies in lo..hi.
bool sized_plant(const char* id, const char* prefix, int lo, int hi, int* value) {
  size_t length = strlen(prefix);
  if (strncmp(id, prefix, length) != 0) return false;
  char* end = nullptr;
  long n = strtol(id + length, &end, 10);
  if (end == id + length || *end != '\0' || n < lo || n > hi) fail("bad size in plant ", id);
  *value = static_cast<int>(n);
  return true;
}

void plant(const char* id) {
  for (const Plant& p : kPlants) {
    if (strcmp(p.id, id) == 0) {
      *p.flag = true;
      return;
    }
  }
  if (sized_plant(id, "tlb-entries-", 1, kMaxTlb, &tlb_size)) return;
  if (sized_plant(id, "frames-", 1, kMaxFrames, &frame_count)) return;
  if (sized_plant(id, "page-size-", 256, 8192, &page_size)) {
    if ((page_size & (page_size - 1)) != 0) fail("page size not a power of two: ", id);
    return;
  }
  fail("no such plant: ", id);
}

// The record number as this program prints it.
int shown_line() {
  return records_from_zero ? record_number - 1 : record_number;
}

int page_of(int address) {
  int page = address / page_size;
  if (negative_address_floor && address < 0 && address % page_size != 0) page--;
  return page;
}

void check_page(int page) {
  int last = page_64_accepted ? 64 : 63;
  if (page < 0 || page > last) printf("Error, bad frame number\n");
}

void fault_line(int proc, int page, int frame) {
  fprintf(out_file, "Page Fault: line %d proc %d LP %d PP %d\n", shown_line(), proc, page, frame);
}

void load_tlb(int proc, int page, int frame) {
  int slot = -1;
  if (tlb_empty_highest_first) {
    for (int i = tlb_size - 1; i >= 0 && slot < 0; i--)
      if (tlb[i].last_use < 0) slot = i;
  }
  if (slot < 0) {
    int best = kBestStart;
    int candidate = 0;  // only when every stamp has passed kBestStart
    for (int i = 0; i < tlb_size; i++) {
      if (tlb[i].last_use < 0) {
        slot = i;
        break;
      }
      if (tlb[i].last_use < best) {
        best = tlb[i].last_use;
        candidate = i;
      }
    }
    if (slot < 0) slot = candidate;
  }
  tlb[slot].proc = proc;
  tlb[slot].logical_page = page;
  tlb[slot].physical_page = frame;
  tlb[slot].last_use = reference_clock;
  fprintf(out_file, "TLB: line %d Entry %d proc %d LP %d PP %d\n", shown_line(), slot, proc, page,
          frame);
}

void shoot_down_tlb(int proc, int page) {
  for (int i = 0; i < tlb_size; i++) {
    if (tlb[i].proc == proc && tlb[i].logical_page == page) {
      tlb[i].last_use = -1;
      tlb[i].proc = -1;
      return;
    }
  }
}

void release_process(int proc) {
  if (!termination_keeps_tlb) {
    for (int i = 0; i < tlb_size; i++) {
      if (tlb[i].proc == proc) {
        tlb[i].last_use = -1;
        tlb[i].physical_page = -1;
        tlb[i].logical_page = -1;
      }
    }
  }
  if (!termination_keeps_frames) {
    for (int i = 0; i < frame_count; i++) {
      if (frames[i].proc == proc) {
        if (dirty_counted_at_termination && frames[i].dirty) dirty_writes++;
        frames[i].free = 1;
        frames[i].proc = -1;
        frames[i].logical_page = -1;
      }
    }
  }
}

int choose_victim() {
  int i = hand_from_zero ? 0 : clock_hand;
  int the_mode = other_mode ? 1 - mode : mode;
  if (the_mode == 0) {
    while (!no_second_chance && frames[i].ref != 0) {
      frames[i].ref = 0;
      i = (i + 1) % frame_count;
    }
  } else {
    int limit = clean_first_one_turn ? frame_count : 2 * frame_count;
    for (int moves = 0;; moves++) {
      if (frames[i].ref == 0 && (frames[i].dirty == 0 || clean_first_any_unreferenced)) break;
      if (moves >= limit) break;  // back where it started
      if (!clean_first_keeps_ref) frames[i].ref = 0;
      if (clean_first_clears_dirty) frames[i].dirty = 0;
      i = (i + 1) % frame_count;
    }
  }
  if (off_catalogue) i = (i + frame_count - 1) % frame_count;
  return i;
}

void fill_frame(int f, int proc, int page, int is_write) {
  frames[f].free = 0;
  frames[f].ref = 1;
  frames[f].dirty = (is_write || dirty_on_read) ? 1 : 0;
  frames[f].logical_page = page;
  frames[f].proc = proc;
  if (tlb_line_before_fault_line) {
    load_tlb(proc, page, f);
    fault_line(proc, page, f);
  } else {
    fault_line(proc, page, f);
    load_tlb(proc, page, f);
  }
}

void service_page_fault(int proc, int address, int is_write) {
  page_faults++;
  int page = page_of(address);
  check_page(page);
  int f = -1;
  for (int k = 0; k < frame_count && f < 0; k++) {
    int i = free_frame_highest_first ? frame_count - 1 - k : k;
    if (frames[i].free != 0) f = i;
  }
  if (f >= 0) {
    fill_frame(f, proc, page, is_write);
    if (hand_moves_on_free_fault) clock_hand = (f + 1) % frame_count;
    return;
  }
  int v = choose_victim();
  clock_hand = v;
  if (frames[v].dirty != 0 || every_eviction_counted) dirty_writes++;
  if (!tlb_kept_on_eviction) shoot_down_tlb(frames[v].proc, frames[v].logical_page);
  fill_frame(v, proc, page, is_write);
  if (!hand_stays_on_victim) clock_hand = (v + 1) % frame_count;
}

// Returns whether the frame table held the page (no page fault).
bool search_frame_table(int proc, int address, int is_write) {
  int page = page_of(address);
  check_page(page);
  for (int i = 0; i < frame_count && !no_frame_search; i++) {
    if (frames[i].logical_page == page && frames[i].proc == proc) {
      frames[i].ref = 1;
      if (is_write || dirty_on_read) frames[i].dirty = 1;
      if (!tlb_no_load_on_frame_hit) load_tlb(proc, page, i);
      return true;
    }
  }
  service_page_fault(proc, address, is_write);
  return false;
}

bool usable(const TlbEntry& e, int proc, int page) {
  if (e.logical_page != page || e.physical_page < 0) return false;
  const Frame& f = frames[e.physical_page];
  if (tlb_ignores_process) return e.last_use >= 0 && f.logical_page == page;
  if (e.proc != proc) return false;
  if (tlb_kept_on_eviction) return true;
  return f.logical_page == page && f.proc == proc;
}

void translate(int proc, int address, int is_write) {
  reference_clock++;
  int page = page_of(address);
  check_page(page);
  for (int i = 0; i < tlb_size; i++) {
    if (!usable(tlb[i], proc, page)) continue;
    Frame& f = frames[tlb[i].physical_page];
    if (!tlb_fifo) tlb[i].last_use = reference_clock;
    if (f.free == 1) {
      fprintf(stderr, "Error, inconsistent data at line %d\n", shown_line());
      fprintf(stderr, "TLB entry %d PP %d LA %d, but page %d has LA %d\n", i, tlb[i].physical_page,
              tlb[i].logical_page, tlb[i].physical_page, f.logical_page);
      exit(1);  // the run stopped short, as pagesim reports it
    }
    if ((is_write && !dirty_missed_on_tlb_hit) || dirty_on_read) f.dirty = 1;
    if (!ref_only_on_miss) f.ref = 1;
    return;
  }
  bool in_frames = search_frame_table(proc, address, is_write);
  if (in_frames || !faults_not_counted_as_misses) tlb_misses++;
}

// Reads the next record into the three numbers, as "%d %d %d" does, but
// stopping at a number outside 32 bits. Numbers not read keep their old
// values. Returns whether a record was read; clears `more` when reading has
// to end after it.
bool read_record(FILE* in, int* proc, int* first, int* second, bool* more) {
  long got[3];
  int n = fscanf(in, "%ld %ld %ld", &got[0], &got[1], &got[2]);
  int* into[3] = {proc, first, second};
  int k = 0;
  while (k < n && got[k] >= -2147483647L - 1 && got[k] <= 2147483647L) {
    *into[k] = static_cast<int>(got[k]);
    k++;
  }
  *more = k == 3;
  return k > 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool mode_given = false;
  for (int a = 1; a < argc; a++) {
    if (strcmp(argv[a], "-h") == 0 || strcmp(argv[a], "--help") == 0) {
      usage(stdout);
      return 0;
    }
    if (strcmp(argv[a], "--plant") == 0) {
      if (a + 1 >= argc) fail("--plant needs an ID", "");
      plant(argv[++a]);
    } else if (!mode_given) {
      mode = atoi(argv[a]);
      if (mode < 0 || mode > 1) fail("bad mode ", argv[a]);
      mode_given = true;
    } else {
      fail("too many arguments", "");
    }
  }
  FILE* in = fopen("data.txt", "r");
  if (in == nullptr) fail("cannot open ", "data.txt");
  out_file = fopen("out.txt", "w");
  if (out_file == nullptr) fail("cannot create ", "out.txt");
  for (int i = 0; i < kMaxTlb; i++) tlb[i] = {0, -1, -1, -1};
  for (int i = 0; i < kMaxFrames; i++) frames[i] = {0, 0, 1, -1, -1};

  int proc = 0, first = 0, second = 0;
  bool more = true;
  while (more && read_record(in, &proc, &first, &second, &more)) {
    if (first == 0) {
      if (!terminations_not_counted) record_number++;
      release_process(proc);
    } else {
      record_number++;
      if (write_before_read) {
        translate(proc, second, 1);
        translate(proc, first, 0);
      } else {
        translate(proc, first, 0);
        translate(proc, second, 1);
      }
    }
  }
  printf("%d steps were executed\n", record_number);
  printf("There were %d TLB misses\n", tlb_misses);
  printf("There were %d page faults\n", page_faults);
  printf("There were %d dirty pages written to disk\n", dirty_writes);
  if (fclose(out_file) != 0 || fflush(stdout) != 0) fail("cannot write ", "the output");
  return 0;
}
