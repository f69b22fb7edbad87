// Everything pagestat found in a trace, as the reports read it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "policies/curve.hpp"
#include "policies/reference_trace.hpp"
#include "policies/what_if.hpp"
#include "tools/pagestat/pagesim_runs.hpp"
#include "tools/pagestat/tlb_curve.hpp"

struct PagestatResults {
  std::string trace_name;
  const ReferenceTrace* trace = nullptr;
  int frames = 20;
  int64_t interval = 1;                 ///< records per interval
  std::vector<uint64_t> interval_ends;  ///< event positions
  /// pagesim in mode 0 and mode 1, when the report shows them.
  std::array<std::optional<PagesimRun>, 2> modes;
  /// The policies at `frames`, in kPolicies order, with faults per interval.
  std::vector<WhatIfResult> what_if;
  std::optional<Curve> curve;
  /// The whole machine at TLB sizes 1..kTlbCurveEntries and `frames`
  /// frames, mode 0 then mode 1.
  std::optional<std::array<std::vector<TlbCurvePoint>, 2>> tlb_curve;
  /// Whether the TLB curve came from one pass per mode (else a run per size).
  bool tlb_curve_one_pass = false;
};

/// Whether clock and clean-first at 20 frames gave pagesim's page faults and
/// dirty pages written in modes 0 and 1. REQUIRES: both modes were run.
bool clocks_match_pagesim(const PagestatResults& results);
