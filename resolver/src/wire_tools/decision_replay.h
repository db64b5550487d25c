// Decision replay: the records of a decision log decided again under a
// pack set, each compared with the decision it recorded. What answers
// "what would the requests we served have gotten under these packs?".
//
// replay_lines reads one block of a log (lines split on "\n"; blank lines
// skipped) and returns a summary of the block as compact JSON text:
//   {"records", "unchanged", "changed", "loosened", "tightened",
//    "provenance_only", "bad",
//    "by_pack": {<profile "/" domain>: [records, changed, loosened, tightened]},
//    "gained": {<control>: records}, "lost": {<control>: records},
//    "examples": [{"line", "query", "strictness", "before", "after"}],
//    "first_bad": null or {"line", "column", "reason"}}
// A record is changed when its decision text differs from the recorded one
// (whitespace outside strings aside), loosened when a control it recorded
// as required no longer is, tightened when a control is newly required,
// provenance_only when the verdict, the required controls and the
// disclaimer are the same. `examples` holds the block's first changed
// records in line order, at most `examples` of them; a line that is not a
// record, or whose query the resolver refuses, is counted under "bad" and
// the first one is described, its column counted in bytes as the
// resolver's messages count them.
//
// Blocks are summed by the caller, which is what keeps memory flat: a block
// and its summary are all that is held. The lines of a block are shared
// out over `threads` threads; the summary does not depend on their number.
// Pure apart from those threads; never fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "wire_tools/pack_set.h"

namespace zorv::wire {

struct ReplayOptions {
  std::size_t first_line = 1;  // the number of the block's first line
  std::size_t examples = 20;
  std::size_t threads = 1;
};

std::string replay_lines(const PackSet& set, std::string_view block, const ReplayOptions& options);

}  // namespace zorv::wire
