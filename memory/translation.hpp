// The simulated memory-management unit: one reference at a time through the
// TLB, the frame table and the page-fault service.
#pragma once

#include <cstdint>

/// Performs one reference of `proc` to byte `address` (is_write 0: read,
/// 1: write). Ends the run on an inconsistent TLB entry.
void translate(int32_t proc, int32_t address, int32_t is_write);
/// The TLB-miss path: finds the frame of the page, or faults it in.
void search_frame_table(int32_t proc, int32_t address, int32_t is_write);
/// The page-fault path: loads the page into the lowest free frame, or evicts.
void service_page_fault(int32_t proc, int32_t address, int32_t is_write);
/// Picks the frame to evict by replacement_mode, starting at clock_hand.
/// REQUIRES: no frame is free. Clears ref bits of the frames it passes.
int32_t choose_victim();
