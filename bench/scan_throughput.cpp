// How fast the pack map (`packs_json`) is read and validated, side by side
// with simdjson reading the same text: its DOM parser, and its On-Demand
// parser visiting (and so validating and decoding) every key and value.
// Prints GB/s per reader, medians of several runs, on a generated map of
// realistic packs. Then the UTF-8 check alone on the same map and on dense
// non-ASCII text, ours (vector and portable) beside simdjson's; and the TOML
// stage: reading each pack as a document, and as a pack for one subject.
// Usage:
// zorv_scan_bench [packs] [runs]
#include <simdjson.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "pack/policy_pack.h"
#include "toml/toml_document.h"
#include "json/json_writer.h"
#include "text/utf8_validation.h"
#include "wire/pack_index.h"

namespace {

// A pack of about 3 KB as a compliance team writes one: comments, quoted
// strings, ten subjects of fifteen controls.
std::string pack_text(std::mt19937& random) {
  std::string text =
      "# Controls this profile requires.\n[meta]\nstrictness = \"as_configured\"\n"
      "last_reviewed_against_guidance = \"EDPB Guidelines 02/2023 \\u00a7 4\"\n"
      "effective_from = \"2025-01-01\"\neffective_until = \"2027-12-31\"\n"
      "[meta.legal_review]\nstatus = \"approved by counsel\"\n";
  for (int subject = 0; subject < 10; ++subject) {
    text += "\n[subject.s" + std::to_string(subject) + "]\ncontrols = [";
    for (int control = 0; control < 15; ++control) {
      text += (control ? ", \"" : "\"") + std::string("ctl.family-") + std::to_string(random() % 100000) + "\"";
    }
    text += "]\n";
  }
  return text + "[legally_required]\ncontrols = [\"ctl.family-1\"]\n[prohibited]\ncontrols = [\"ctl.family-2\"]\n";
}

std::string pack_map(int packs) {
  std::mt19937 random(20261208);
  std::string json = "{";
  for (int i = 0; i < packs; ++i) {
    if (i) json += ',';
    zorv::json::append_string(json, "profile-" + std::to_string(i) + "/domain.zorv.toml");
    json += ':';
    zorv::json::append_string(json, pack_text(random));
  }
  return json + "}";
}

double median_seconds(int runs, const std::function<void()>& read) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    read();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int packs = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 9;
  const std::string json = pack_map(packs);
  const simdjson::padded_string padded(json);
  size_t checksum = 0;

  const double ours = median_seconds(runs, [&] {
    auto index = zorv::wire::PackIndex::read(json);
    if (!index.ok()) std::abort();
    checksum += index.value().size();
  });
  simdjson::dom::parser dom_parser;
  const double dom = median_seconds(runs, [&] {
    simdjson::dom::object object;
    if (dom_parser.parse(padded).get_object().get(object)) std::abort();
    checksum += object.size();
  });
  simdjson::ondemand::parser on_demand_parser;
  const double on_demand = median_seconds(runs, [&] {
    simdjson::ondemand::document document;
    if (on_demand_parser.iterate(padded).get(document)) std::abort();
    simdjson::ondemand::object object;
    if (document.get_object().get(object)) std::abort();
    for (auto field : object) {
      std::string_view key, value;
      if (field.unescaped_key().get(key) || field.value().get_string().get(value)) std::abort();
      checksum += key.size() + value.size();
    }
  });

  const double gb = static_cast<double>(json.size()) / 1e9;
  std::printf("pack map: %d packs, %.1f MB\n", packs, static_cast<double>(json.size()) / 1e6);
  std::printf("%-44s %8.2f ms %6.2f GB/s\n", "zorv PackIndex::read (validates all)", ours * 1e3, gb / ours);
  std::printf("%-44s %8.2f ms %6.2f GB/s\n", "simdjson DOM parse", dom * 1e3, gb / dom);
  std::printf("%-44s %8.2f ms %6.2f GB/s\n", "simdjson On-Demand, every key and value", on_demand * 1e3,
              gb / on_demand);

  // Text that is nearly all multi-byte sequences: the UTF-8 check's worst case.
  std::string dense;
  std::mt19937 random(5);
  const char* samples[] = {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x94\x92", "\xd0\x96", "a"};
  while (dense.size() < json.size()) dense += samples[random() % 5];
  for (const auto& [name, text] : {std::pair<const char*, const std::string*>{"pack map", &json},
                                   std::pair<const char*, const std::string*>{"dense non-ASCII", &dense}}) {
    const double gb_text = static_cast<double>(text->size()) / 1e9;
    const double vector = median_seconds(runs, [&] { checksum += zorv::text::is_valid_utf8(*text); });
    const double portable = median_seconds(runs, [&] { checksum += zorv::text::is_valid_utf8_portably(*text); });
    const double simd = median_seconds(runs, [&] { checksum += simdjson::validate_utf8(text->data(), text->size()); });
    std::printf("UTF-8 check, %-16s zorv %6.2f GB/s, zorv portable %6.2f GB/s, simdjson %6.2f GB/s\n", name,
                gb_text / vector, gb_text / portable, gb_text / simd);
  }

  std::mt19937 pack_random(20261208);
  std::vector<std::string> packs_alone;
  std::size_t pack_bytes = 0;
  for (int i = 0; i < std::min(packs, 2000); ++i) {
    packs_alone.push_back(pack_text(pack_random));
    pack_bytes += packs_alone.back().size();
  }
  const double document = median_seconds(runs, [&] {
    for (const auto& text : packs_alone) {
      zorv::text::Fault fault;
      checksum += zorv::toml::TomlDocument::read(text, fault).has_value();
    }
  });
  const double pack = median_seconds(runs, [&] {
    for (const auto& text : packs_alone) checksum += zorv::read_policy_pack_for_subject(text, "s3").has_value();
  });
  const double mb = static_cast<double>(pack_bytes) / 1e6;
  std::printf("TOML stage, %zu packs of %.1f KB: document %7.0f MB/s, pack for one subject %7.0f MB/s\n",
              packs_alone.size(), mb * 1e3 / static_cast<double>(packs_alone.size()), mb / document, mb / pack);
  std::printf("(checksum %zu)\n", checksum);
}
