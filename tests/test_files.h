// Whole files in and out for the tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace ringave::testing {

// The bytes of a file, or "" when it cannot be read.
inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// A file of the test data folder (tests/data).
inline std::string test_data(const std::string& name) { return slurp(std::filesystem::path(RINGAVE_TEST_DATA) / name); }

}  // namespace ringave::testing
