// Locating and loading the external test corpora (JSONTestSuite, toml-test,
// published standards) that live beside the repository.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zorv::testing_support {

inline std::filesystem::path testdata_dir() { return ZORV_TESTDATA_DIR; }

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The files in `dir` whose names start with `prefix`, sorted by name.
inline std::vector<std::filesystem::path> files_with_prefix(const std::filesystem::path& dir,
                                                            const std::string& prefix) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace zorv::testing_support
