// Whole files in and out for the tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>

namespace ringave::testing {

// The bytes of a file, or "" when it cannot be read.
inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// A file of the test data folder (tests/data).
inline std::string test_data(const std::string& name) { return slurp(std::filesystem::path(RINGAVE_TEST_DATA) / name); }

// A fresh folder under the system's temporary folder, named after
// `prefix`, removed with everything in it when the test is done.
struct ScratchFolder {
  std::filesystem::path path;
  explicit ScratchFolder(const std::string& prefix) {
    std::string name = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    path = ::mkdtemp(name.data());
  }
  ~ScratchFolder() { std::filesystem::remove_all(path); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
};

}  // namespace ringave::testing
