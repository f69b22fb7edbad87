// Which of a run's outputs each catalogued mistake can change, from the
// catalogue's definitions: a candidate that can change none of the outputs
// compared would only follow pagesim's machine step for step, so it is not
// run at all.
#pragma once

#include "variants/mistakes.hpp"

/// The outputs compared.
struct Compared {
  bool stdout_totals = false;  ///< THEIR_STDOUT was given
};

/// Whether `candidate` (`base` with one more mistake) can print anything
/// `base` does not, in the outputs compared.
bool can_differ(const variants::Variant& candidate, const variants::Variant& base,
                const Compared& compared);
