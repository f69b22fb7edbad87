// bench_plain_stdio: the same program as pagesim written the plain way, as a
// user would from its description: fscanf("%d %d %d") for each record,
// fprintf for each line, the standard library's default buffering. The
// benchmark runs it beside pagesim on the same traces and checks that both
// print the same; it is not meant for anything else.
#include <cstdio>
#include <cstdlib>

namespace {

const int kPageSize = 1024;
const int kPagesPerProcess = 64;
const int kTlbEntries = 8;
const int kFrames = 20;
const int kLruStart = 10000000;
const int kWindowSpan = 1000;

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

TlbEntry tlb[kTlbEntries];
Frame frames[kFrames];
int reference_clock = 0;
int record_number = 0;
int tlb_misses = 0;
int page_faults = 0;
int dirty_writes = 0;
int clock_hand = 0;
int replacement_mode = 0;
int break_line = 10000000;
FILE* event_log = nullptr;

bool in_display_window() {
  // Near the top of the int range the window has no upper end.
  return record_number >= break_line &&
         (static_cast<long long>(record_number) - break_line <= kWindowSpan ||
          break_line > 2147483647 - kWindowSpan);
}

int page_of(int address) {
  int page = address / kPageSize;
  if (page < 0 || page >= kPagesPerProcess) printf("Error, bad frame number\n");
  return page;
}

void reset_tables() {
  for (int i = 0; i < kTlbEntries; i++) {
    tlb[i].logical_page = -1;
    tlb[i].physical_page = -1;
    tlb[i].last_use = -1;
  }
  for (int i = 0; i < kFrames; i++) {
    frames[i].free = 1;
    frames[i].logical_page = -1;
    frames[i].proc = -1;
    frames[i].ref = 0;
    frames[i].dirty = 0;
  }
}

void release_process(int proc) {
  for (int i = 0; i < kTlbEntries; i++) {
    if (tlb[i].proc == proc) {
      tlb[i].last_use = -1;
      tlb[i].physical_page = -1;
      tlb[i].logical_page = -1;
    }
  }
  for (int i = 0; i < kFrames; i++) {
    if (frames[i].proc == proc) {
      frames[i].free = 1;
      frames[i].proc = -1;
      frames[i].logical_page = -1;
    }
  }
}

void load_tlb(int proc, int page, int frame) {
  int best = kLruStart;
  int taken = -1;
  for (int i = 0; i < kTlbEntries; i++) {
    if (tlb[i].last_use < 0) {
      taken = i;
      break;
    }
    if (tlb[i].last_use < best) {
      best = tlb[i].last_use;
      taken = i;
    }
  }
  if (taken < 0) {
    // Every stamp has passed the starting value: the least recently used.
    taken = 0;
    for (int i = 1; i < kTlbEntries; i++)
      if (tlb[i].last_use < tlb[taken].last_use) taken = i;
  }
  tlb[taken].proc = proc;
  tlb[taken].logical_page = page;
  tlb[taken].physical_page = frame;
  tlb[taken].last_use = reference_clock;
  fprintf(event_log, "TLB: line %d Entry %d proc %d LP %d PP %d\n", record_number, taken, proc,
          page, frame);
  if (in_display_window())
    printf("TLB: line %d Entry %d proc %d LP %d PP %d\n", record_number, taken, proc, page, frame);
}

void shoot_down_tlb(int proc, int page) {
  for (int i = 0; i < kTlbEntries; i++) {
    if (tlb[i].proc == proc && tlb[i].logical_page == page) {
      tlb[i].last_use = -1;
      tlb[i].proc = -1;
      return;
    }
  }
}

int choose_victim() {
  int i = clock_hand;
  if (replacement_mode == 0) {
    while (frames[i].ref != 0) {
      frames[i].ref = 0;
      i = (i + 1) % kFrames;
    }
    return i;
  }
  for (int moves = 0;; moves++) {
    if (frames[i].ref == 0 && frames[i].dirty == 0) return i;
    if (moves > 39) return i;
    frames[i].ref = 0;
    i = (i + 1) % kFrames;
  }
}

void load_frame(int f, int proc, int page, int is_write) {
  frames[f].free = 0;
  frames[f].ref = 1;
  frames[f].dirty = is_write;
  frames[f].logical_page = page;
  frames[f].proc = proc;
  fprintf(event_log, "Page Fault: line %d proc %d LP %d PP %d\n", record_number, proc, page, f);
  if (in_display_window())
    printf("Page Fault: line %d proc %d LP %d PP %d hand %d\n", record_number, proc, page, f,
           clock_hand);
}

void service_page_fault(int proc, int address, int is_write) {
  page_faults++;
  int page = page_of(address);
  for (int f = 0; f < kFrames; f++) {
    if (frames[f].free != 0) {
      load_frame(f, proc, page, is_write);
      load_tlb(proc, page, f);
      return;
    }
  }
  int victim = choose_victim();
  clock_hand = victim;
  if (frames[victim].dirty != 0) dirty_writes++;
  shoot_down_tlb(frames[victim].proc, frames[victim].logical_page);
  load_frame(victim, proc, page, is_write);
  load_tlb(proc, page, victim);
  clock_hand = (victim + 1) % kFrames;
}

void search_frame_table(int proc, int address, int is_write) {
  int page = page_of(address);
  for (int f = 0; f < kFrames; f++) {
    if (frames[f].logical_page == page && frames[f].proc == proc) {
      frames[f].ref = 1;
      if (is_write) frames[f].dirty = 1;
      load_tlb(proc, page, f);
      return;
    }
  }
  service_page_fault(proc, address, is_write);
}

void translate(int proc, int address, int is_write) {
  reference_clock++;
  int page = page_of(address);
  for (int i = 0; i < kTlbEntries; i++) {
    int f = tlb[i].physical_page;
    if (tlb[i].proc != proc || tlb[i].logical_page != page || f < 0) continue;
    if (frames[f].logical_page != page || frames[f].proc != proc) continue;
    tlb[i].last_use = reference_clock;
    if (frames[f].free) {
      fprintf(stderr, "Error, inconsistent data at line %d\n", record_number);
      fprintf(stderr, "TLB entry %d PP %d LA %d, but page %d has LA %d\n", i, f,
              tlb[i].logical_page, f, frames[f].logical_page);
      exit(1);
    }
    if (is_write) frames[f].dirty = 1;
    frames[f].ref = 1;
    return;
  }
  tlb_misses++;
  search_frame_table(proc, address, is_write);
}

void print_state() {
  for (int i = 0; i < kTlbEntries; i++) {
    if (tlb[i].physical_page < 0)
      printf("   TLB %d is free\n", i);
    else
      printf("   TLB %d process %d, VA %d, PP %d\n", i, tlb[i].proc, tlb[i].logical_page,
             tlb[i].physical_page);
  }
  for (int i = 0; i < kFrames; i++) {
    if (frames[i].logical_page < 0)
      printf("   Physical Page %d is free\n", i);
    else
      printf("   Physical Page %d, Proc %d Logical Page %d ref %d dirty %d\n", i, frames[i].proc,
             frames[i].logical_page, frames[i].ref, frames[i].dirty);
  }
}

}  // namespace

int main(int argc, char** argv) {
  fprintf(stderr, "%s\n", "This works slightly differently from the spec because");
  fprintf(stderr, "%s\n", "it allows you to display extensive debugging info");
  fprintf(stderr, "%s\n", "With no arguments, it works just like your program");
  fprintf(stderr, "%s\n", "If the first arg is 0, it works just like your");
  fprintf(stderr, "%s\n", "program with no arguments.  If the first argument is");
  fprintf(stderr, "%s\n", "1, it will work like your program with one argument.");
  fprintf(stderr, "%s\n", "If there is a second argument,  and it is a number, it");
  fprintf(stderr, "%s\n", "will treat it as a breakpoint and start displaying");
  fprintf(stderr, "%s\n", "extensive information about the status at each");
  fprintf(stderr, "%s\n", "subsequent line");

  if (argc > 3) {
    printf("Error, too many arguments\n");
    return 1;
  }
  if (argc >= 2) replacement_mode = atoi(argv[1]);
  if (argc == 3) break_line = atoi(argv[2]);
  if (replacement_mode < 0 || replacement_mode > 1) {
    fprintf(stderr, "Error, bad first argument %s\n", argv[1]);
    return 1;
  }
  FILE* trace = fopen("data.txt", "r");
  if (trace == nullptr) {
    printf("Error, could not open data.txt. Good bye!\n");
    return 1;
  }
  event_log = fopen("out.txt", "w");
  if (event_log == nullptr) {
    printf("Error, could not open out.txt. Good bye!\n");
    return 1;
  }
  reset_tables();

  int proc = 0, first = 0, second = 0;
  while (fscanf(trace, "%d %d %d", &proc, &first, &second) >= 1) {
    record_number++;
    bool displayed = in_display_window();
    if (displayed)
      printf("Break at Line %d, %d %d %d (pages %d %d)\n", record_number, proc, first, second,
             first / kPageSize, second / kPageSize);
    if (first == 0) {
      release_process(proc);
    } else {
      translate(proc, first, 0);
      translate(proc, second, 1);
    }
    if (displayed) {
      print_state();
      printf("Hit return key to continue\n");
      getchar();
    }
  }

  printf("%d steps were executed\n", record_number);
  printf("There were %d TLB misses\n", tlb_misses);
  printf("There were %d page faults\n", page_faults);
  printf("There were %d dirty pages written to disk\n", dirty_writes);
  if (fclose(event_log) != 0 || fflush(stdout) != 0) {
    fprintf(stderr, "bench_plain_stdio: could not write the output\n");
    return 1;
  }
  return 0;
}
