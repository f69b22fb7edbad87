#include "tools/pagediff/classify.hpp"

namespace {

// Order of references in the run.
bool before(const ReferenceFacts& a, const ReferenceFacts& b) {
  return a.record < b.record || (a.record == b.record && a.which < b.which);
}

bool same_reference(const ReferenceFacts& a, const ReferenceFacts& b) {
  return a.record == b.record && a.which == b.which;
}

DiffKind same_reference_kind(const LinePair& pair) {
  const EventLine& ours = pair.pagesim;
  const EventLine& theirs = pair.theirs;
  const Outcome outcome = pair.pagesim_reference.outcome;
  if (ours.kind == LineKind::kTlb && theirs.kind == LineKind::kTlb) {
    return ours.frame == theirs.frame && ours.entry != theirs.entry ? DiffKind::kTlbEntry
                                                                    : DiffKind::kOther;
  }
  if (ours.kind == LineKind::kPageFault && theirs.kind == LineKind::kPageFault) {
    if (ours.frame == theirs.frame) return DiffKind::kOther;
    return outcome == Outcome::kFreeFrameFault ? DiffKind::kFreeFrame : DiffKind::kVictimFrame;
  }
  if (ours.kind == LineKind::kPageFault) return DiffKind::kMissingPageFault;
  // pagesim loads the TLB; theirs faults. After a fault of pagesim's own the
  // second fault line is no "extra fault" of a page pagesim had in a frame.
  return outcome == Outcome::kTlbLoad ? DiffKind::kExtraPageFault : DiffKind::kOther;
}

}  // namespace

const ReferenceFacts* their_reference(const LinePair& pair) {
  const ReferenceFacts* first_later = nullptr;
  const ReferenceFacts* first_earlier = nullptr;
  for (const ReferenceFacts& reference : pair.their_record_references) {
    if (reference.proc != pair.theirs.proc || reference.page != pair.theirs.page) continue;
    if (same_reference(reference, pair.pagesim_reference)) return &reference;
    const bool later = before(pair.pagesim_reference, reference);
    const ReferenceFacts*& first = later ? first_later : first_earlier;
    if (first == nullptr) first = &reference;
  }
  return first_later != nullptr ? first_later : first_earlier;
}

const char* kind_name(DiffKind kind) {
  switch (kind) {
    case DiffKind::kText:
      return "text";
    case DiffKind::kRecordNumber:
      return "record number";
    case DiffKind::kPageNumber:
      return "page number";
    case DiffKind::kTlbEntry:
      return "TLB entry";
    case DiffKind::kFreeFrame:
      return "free frame";
    case DiffKind::kVictimFrame:
      return "victim frame";
    case DiffKind::kMissingPageFault:
      return "missing page fault";
    case DiffKind::kExtraPageFault:
      return "extra page fault";
    case DiffKind::kMissingTlbLoad:
      return "missing TLB load";
    case DiffKind::kExtraTlbLoad:
      return "extra TLB load";
    case DiffKind::kEndsEarly:
      return "ends early";
    case DiffKind::kEndsLate:
      return "ends late";
    case DiffKind::kTotals:
      return "totals";
    case DiffKind::kMessages:
      return "messages";
    case DiffKind::kOther:
      return "other";
  }
  return "other";
}

DiffKind classify(const LinePair& pair) {
  if (pair.pagesim_ended) return DiffKind::kEndsLate;
  // A file cut inside pagesim's line is a log that stopped, not a wrong line.
  if (pair.their_ended || (pair.their_line_cut && pair.their_line_is_prefix))
    return DiffKind::kEndsEarly;
  if (pair.same_numbers) return DiffKind::kText;
  const EventLine& ours = pair.pagesim;
  const EventLine& theirs = pair.theirs;
  if (!theirs.complete) return DiffKind::kOther;
  // The same event but for its number: a program that numbers records
  // otherwise would not also log the same event at another record.
  std::vector<int64_t> our_rest(ours.numbers.begin() + 1, ours.numbers.end());
  std::vector<int64_t> their_rest(theirs.numbers.begin() + 1, theirs.numbers.end());
  if (ours.kind == theirs.kind && our_rest == their_rest) return DiffKind::kRecordNumber;
  const ReferenceFacts* reference = their_reference(pair);
  if (reference == nullptr) {
    // Their line is about no reference of the record it names.
    if (ours.kind == theirs.kind && theirs.record == ours.record && theirs.proc == ours.proc &&
        theirs.page != ours.page)
      return DiffKind::kPageNumber;
    return DiffKind::kOther;
  }
  if (same_reference(*reference, pair.pagesim_reference)) return same_reference_kind(pair);
  if (before(pair.pagesim_reference, *reference)) {
    // pagesim logs for a reference their program passed over silently.
    if (ours.kind == LineKind::kPageFault) return DiffKind::kMissingPageFault;
    return pair.pagesim_reference.outcome == Outcome::kTlbLoad ? DiffKind::kMissingTlbLoad
                                                               : DiffKind::kOther;
  }
  // Their line is about an earlier reference, where pagesim logged nothing
  // more: a TLB hit in pagesim's run.
  if (reference->outcome != Outcome::kTlbHit) return DiffKind::kOther;
  return theirs.kind == LineKind::kTlb ? DiffKind::kExtraTlbLoad : DiffKind::kExtraPageFault;
}
