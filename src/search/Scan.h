// One document scan, in named steps. The loop (`Run`) takes the text byte
// by byte, but first passes over what cannot change anything: a fast run
// (automaton only) up to the next stop byte, or a quiet run over letters
// that begin nothing. Each byte left is then a separator (`Separator`:
// closing the word, ending the context, flushing the pending hits) or a
// letter (`Letter`: its comparison character, the units it opens, and the
// matcher's step, or the probe's). With "all strings" each context is first
// probed (`ProbeRun`, `ProbeLetter`) and scanned in full from its start
// (`Rewind`) only when every string without exclusion occurs in it.
#pragma once

#include "search/Matchers.h"
#include "search/ScanControl.h"
#include "search/ScanState.h"

namespace kalix {

// The probe of contexts with "all strings": the automaton only notes which
// strings without exclusion (or variants of them) occur, ignoring position
// rules and overlaps, which can only drop hits. A context where some such
// string never occurs is rejected as the full scan would reject it. As soon
// as every one has occurred, the scan goes back to the context's start and
// scans it in full. Sentence and paragraph closings met twice close nothing
// the second time: no occurrence is added inside a context.
struct ProbeState {
  bool snapshotDue = false;  // a context begins: the next byte may start a probe
  bool active = false;       // probing the current context
  bool rewindDue = false;    // every string has occurred: back to the start
  uint64_t found = 0;        // roots seen in the current context
  Cursor start;              // where the context began
};

template <class Matcher>
class Scan final : public ScanCore {
 public:
  Scan(const PlanTables& plan, std::string_view text, HitSink& sink, const ScanControl& control)
      : ScanCore(plan, text, sink), matcher_(plan), blocks_(control) {
    probe_.snapshotDue = Matcher::kProbes && plan.probe.enabled;
  }
  // Returns false when the control stopped the scan.
  bool Run();

 private:
  void Separator(int cls);
  inline __attribute__((always_inline)) void Letter(unsigned char b);
  void ResetAll() {
    counts_.Reset();
    matcher_.Reset();
  }
  // The probe.
  void TakeSnapshot();
  void ProbeRun();
  bool ProbeLetter(unsigned char k);
  void Rewind();
  // A fast run may begin: the transducer free, no partial match, the words
  // of the pending hits all ended, and with a word or no context nothing
  // pending.
  bool FastRunMayStart() const {
    return fast_.enabled && !cursor_.substituterBusy && matcher_.Idle() &&
           pending_.wordsClosed == pending_.hits.size() &&
           (settings_.Context >= kContextSentence || (pending_.hits.empty() && counts_.counted.empty()));
  }
  bool QuietRunMayStart() const { return !probe_.active && !cursor_.substituterBusy && matcher_.Idle(); }

  Matcher matcher_;
  ProbeState probe_;
  ScanBlocks blocks_;
};

}  // namespace kalix
