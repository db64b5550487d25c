// Inputs whose cost could grow faster than their size: a list of many
// controls on one line (explained, and linted with every control repeated),
// many prohibited controls against many subjects, and a pack list whose keys
// all share their first and last eight bytes. Each is timed at 1x and 4x its
// size; linear or n log n work stays under 8x the time, quadratic work takes
// about 16x. Ratios only, never absolute times; each size takes the best of
// five runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <string>

#include "wire_tools/explain_json.h"
#include "wire/resolve_json.h"
#include "wire_tools/lint_json.h"

namespace zorv::wire {
namespace {

// The processor time this thread spends in `run`, the best of five: time
// other processes take from a busy machine does not count.
double best_seconds(const std::function<void()>& run) {
  const auto now = [] {
    timespec at{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &at);
    return static_cast<double>(at.tv_sec) + static_cast<double>(at.tv_nsec) * 1e-9;
  };
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    const double start = now();
    run();
    best = std::min(best, now() - start);
  }
  return best;
}

// `make(n)` builds the input of size n; `run` works through it.
void expect_linear(const char* what, const std::function<std::string(int)>& make,
                   const std::function<void(const std::string&)>& run, int n) {
  const std::string small = make(n), large = make(4 * n);
  // Caches shared with other work can still make one measurement look
  // slower, so three are allowed; quadratic work (16x) fails all of them.
  double one = 0, four = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    one = best_seconds([&] { run(small); });
    four = best_seconds([&] { run(large); });
    if (four < 8 * one) return;
  }
  ADD_FAILURE() << what << ": 1x took " << one << " s, 4x took " << four << " s";
}

// `["c0","c1",...]` with n controls, or each control twice.
std::string one_line_list(int n, bool twice) {
  std::string list = "[";
  for (int i = 0; i < n; ++i) {
    const std::string control = "\"c" + std::to_string(i) + "\"";
    list += (i > 0 ? "," : "") + control + (twice ? "," + control : "");
  }
  return list + "]";
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out + "\"";
}

TEST(Growth, ExplainingAListOfManyControlsOnOneLine) {
  expect_linear(
      "explain", [](int n) { return one_line_list(n, false); },
      [](const std::string& list) {
        const std::string pack = "[meta]\nstrictness = \"as_configured\"\n[subject.s]\ncontrols = " + list + "\n";
        const std::string packs = R"({"p/d.zorv.toml":)" + json_string(pack) + "}";
        const std::string query =
            R"({"domain":"d","profile":"p","jurisdiction":"EU","subject":"s","universe":)" + list + "}";
        ASSERT_TRUE(explain_json(packs, query, std::nullopt).ok());
      },
      40000);
}

TEST(Growth, LintingAListOfManyRepeatedControlsOnOneLine) {
  expect_linear(
      "lint", [](int n) { return "[meta]\n[subject.s]\ncontrols = " + one_line_list(n, true) + "\n"; },
      [](const std::string& pack) { lint_json(pack); }, 20000);
}

// One subject for every 32 prohibited controls: few enough tables that
// reading them stays a small part of the work.
TEST(Growth, LintingManyProhibitedControlsAgainstManySubjects) {
  expect_linear(
      "prohibited-overlap",
      [](int n) {
        std::string pack = "[meta]\n[prohibited]\ncontrols = " + one_line_list(n, false) + "\n";
        for (int i = 0; i < n / 32; ++i) pack += "[subject.s" + std::to_string(i) + "]\ncontrols = [\"x\"]\n";
        return pack;
      },
      [](const std::string& pack) { lint_json(pack); }, 20000);
}

TEST(Growth, DecidingOverAListWhoseKeysShareTheirEnds) {
  expect_linear(
      "resolve",
      [](int n) {
        std::string list = "[";
        for (int i = 0; i < n; ++i)
          list += (i > 0 ? ",\"" : "\"") + std::string("control-") + std::to_string(1000000 + i) + "-of-the-pack\"";
        return list + "]";
      },
      [](const std::string& list) {
        const std::string pack = "[meta]\nstrictness = \"as_configured\"\n[subject.s]\ncontrols = " + list + "\n";
        const std::string packs = R"({"p/d.zorv.toml":)" + json_string(pack) + "}";
        const std::string query =
            R"({"domain":"d","profile":"p","jurisdiction":"EU","subject":"s","universe":)" + list + "}";
        ASSERT_TRUE(resolve_json(packs, query, std::nullopt).ok());
      },
      10000);
}

}  // namespace
}  // namespace zorv::wire
