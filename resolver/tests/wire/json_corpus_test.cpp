// Every JSON argument against JSONTestSuite: texts that are not JSON are
// rejected with the argument's prefix, texts that are JSON get past the
// syntax check (they fail only for their shape), and the implementation-
// defined ones never crash.
#include <gtest/gtest.h>

#include <functional>

#include "support/testdata.h"
#include "wire/pack_index.h"
#include "wire/wire_query.h"
#include "wire/wire_receipt_context.h"

namespace zorv::wire {
namespace {

using testing_support::files_with_prefix;
using testing_support::read_file;
using testing_support::testdata_dir;

struct JsonArgument {
  std::string_view prefix;
  std::function<std::optional<std::string>(std::string_view)> error_of;
};

template <class Reader>
std::optional<std::string> error_of(std::string_view text) {
  auto result = Reader::read(text);
  if (result.ok()) return std::nullopt;
  return result.error().text;
}

const JsonArgument kArguments[] = {
    {kPacksJsonPrefix, error_of<PackIndex>},
    {kQueryJsonPrefix, error_of<WireQuery>},
    {kCtxJsonPrefix, error_of<WireReceiptContext>},
};

bool is_shape_fault(std::string_view description) {
  for (const std::string_view kind : {"invalid type: ", "invalid value: ", "missing field `", "duplicate field `"}) {
    if (description.substr(0, kind.size()) == kind) return true;
  }
  return false;
}

const auto kCorpus = testdata_dir() / "JSONTestSuite" / "test_parsing";

TEST(JsonTestSuite, TextsThatAreNotJsonAreRejectedByEveryArgument) {
  const auto files = files_with_prefix(kCorpus, "n_");
  ASSERT_GT(files.size(), 150u);
  for (const auto& file : files) {
    const std::string text = read_file(file);
    for (const auto& argument : kArguments) {
      const auto error = argument.error_of(text);
      ASSERT_TRUE(error.has_value()) << file.filename() << " accepted as " << argument.prefix;
      EXPECT_EQ(error->rfind(argument.prefix, 0), 0u) << file.filename() << ": " << *error;
      EXPECT_NE(error->find(" at line "), std::string::npos) << *error;
    }
  }
}

TEST(JsonTestSuite, JsonTextsGetPastTheSyntaxCheck) {
  const auto files = files_with_prefix(kCorpus, "y_");
  ASSERT_GT(files.size(), 90u);
  for (const auto& file : files) {
    const std::string text = read_file(file);
    for (const auto& argument : kArguments) {
      const auto error = argument.error_of(text);
      if (!error) continue;
      const std::string description = error->substr(argument.prefix.size());
      EXPECT_TRUE(is_shape_fault(description)) << file.filename() << ": " << *error;
    }
  }
}

TEST(JsonTestSuite, ImplementationDefinedTextsGiveAClearResult) {
  for (const auto& file : files_with_prefix(kCorpus, "i_")) {
    const std::string text = read_file(file);
    for (const auto& argument : kArguments) {
      const auto error = argument.error_of(text);
      if (error) {
        EXPECT_EQ(error->rfind(argument.prefix, 0), 0u) << file.filename();
      }
    }
  }
}

}  // namespace
}  // namespace zorv::wire
