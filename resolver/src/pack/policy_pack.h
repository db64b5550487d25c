// A policy pack read from its TOML text: which controls one profile and
// domain require per subject, the legal floor, the prohibited controls, the
// pack's own default dial, its validity window and its legal-review record.
//
// Reading is all or nothing. Keys outside the pack vocabulary are ignored
// whatever their value; a vocabulary key holding the wrong TOML type, a
// missing `meta`, or text that is not TOML makes the pack unreadable. The
// decision only learns that the pack is malformed; the reading that tools
// use (over a document) also says which key was at fault, and where.
// A record written as an array or as a bare date-time instead of a table is
// of the wrong type like any other. Bounds are strings, never TOML dates.
// The text is read by our own TOML 1.0 reader (toml_document.h), which has no
// nesting limit: any valid document is read.
//
// Pure: no I/O, no state; safe to call from many threads at once. The records
// own their texts and sets and are plain values.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/control_set.h"
#include "toml/toml_document.h"

namespace zorv {

// `meta.legal_review`.
struct LegalReview {
  std::optional<std::string> status;

  bool operator==(const LegalReview&) const = default;
};

// `meta`: all keys optional; an absent dial or bound is simply absent.
struct PackMeta {
  std::optional<std::string> strictness;  // raw text; the decision parses it
  std::optional<LegalReview> legal_review;
  std::optional<std::string> last_reviewed_against_guidance;
  std::optional<std::string> effective_from;   // inclusive, compared as bytes
  std::optional<std::string> effective_until;  // inclusive, compared as bytes

  bool operator==(const PackMeta&) const = default;
};

// A subject entry, `legally_required` or `prohibited`. An absent `controls`
// key reads as the empty set.
struct ControlList {
  ControlSet controls;
  // Read from a document (with locations): the byte offset where each
  // control, in the order of `controls`, is first written. Else empty.
  std::vector<std::size_t> written_at;

  bool operator==(const ControlList&) const = default;
};

// The whole document.
struct PolicyPack {
  PackMeta meta;
  std::map<std::string, ControlList, std::less<>> subject;  // by exact subject name
  std::optional<ControlList> legally_required;
  std::optional<ControlList> prohibited;

  bool operator==(const PolicyPack&) const = default;
};

// The pack in `toml_text`, or nullopt when the text is not TOML or not the
// pack's shape.
std::optional<PolicyPack> read_policy_pack(std::string_view toml_text);

// The same, but of the subjects only `subject` (when the pack lists it) is
// built into a set; every other entry is still checked for its shape. What a
// decision for one query needs.
std::optional<PolicyPack> read_policy_pack_for_subject(std::string_view toml_text, std::string_view subject);

// The pack in `document`, every subject built, with where each listed
// control is written. On failure `fault` says why the TOML document is not a
// pack: a vocabulary key holding the wrong type (pack_wrong_type, at the
// value, e.g. "`meta.strictness` must be a string, found integer") or no
// `meta` table (pack_missing_meta, at offset 0).
std::optional<PolicyPack> read_policy_pack(const toml::TomlDocument& document, text::Fault& fault);

// A key as a part of a dotted path in a fault: bare when TOML allows it
// bare, else quoted.
std::string key_path_part(std::string_view key);

// Whether `toml_text` is a TOML document at all, whatever its shape: the
// first half of read_policy_pack, on its own.
bool is_toml_document(std::string_view toml_text);

}  // namespace zorv
