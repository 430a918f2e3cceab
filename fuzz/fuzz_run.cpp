// Fuzzes the whole run. The input is split at lines "%%" into the console
// answers, then the files a.rwl, b.cmp and c.lst; they are written into a
// fresh temporary folder, the run is driven there with the answers as
// standard input and /dev/null as output, and the folder is removed. Stops
// and fatal reports are the run's defined ends and are caught. The run's
// storage (the 24 MB series table) is made once and reused by every input,
// as a run reuses it for every file.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "records/console.h"
#include "records/outcome.h"
#include "run/driver.h"
#include "run/run_storage.h"

using namespace ringave;

namespace {

void put_file(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int null_out = open("/dev/null", O_WRONLY);
  static const std::filesystem::path home = std::filesystem::current_path();
  static const char* const kNames[] = {"answers", "a.rwl", "b.cmp", "c.lst"};
  static const std::unique_ptr<RunStorage> storage = std::make_unique<RunStorage>();

  char folder[] = "/tmp/ringave_fuzz_run_XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  const std::string dir(folder);

  std::string_view in(reinterpret_cast<const char*>(data), size);
  for (int part = 0; part < 4; ++part) {
    const std::size_t sep = in.find("\n%%\n");
    const std::string_view piece = sep == std::string_view::npos ? in : in.substr(0, sep + 1);
    put_file(dir + "/" + kNames[part], piece);
    if (sep == std::string_view::npos) break;
    in.remove_prefix(sep + 4);
  }

  const int answers = open((dir + "/answers").c_str(), O_RDONLY);
  if (answers < 0 || chdir(folder) != 0) std::abort();
  {
    Console con(answers, null_out, null_out);
    try {
      (void)drive(con, *storage);
    } catch (const Error&) {
    }
  }
  close(answers);
  if (chdir(home.c_str()) != 0) std::abort();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
