// Running the real ringave binary in a temporary folder: files are written
// there, the answers go to standard input, and standard output, standard
// error and the exit status come back for byte-for-byte comparison.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace ringave_e2e {

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 when the process did not exit normally
};

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ringave-e2e-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream f(path_ / name, std::ios::binary);
    f << text;
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }
  std::string read(const std::string& name) const {
    std::ifstream f(path_ / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }

  // Runs the binary with `answers` on standard input, in this folder.
  RunResult run(const std::string& answers) const {
    write(".stdin", answers);
    const std::string in = (path_ / ".stdin").string();
    const std::string out = (path_ / ".stdout").string();
    const std::string err = (path_ / ".stderr").string();
    RunResult r;
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(path_.c_str()) != 0) _exit(120);
      const int fi = open(in.c_str(), O_RDONLY);
      const int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fi < 0 || fo < 0 || fe < 0) _exit(121);
      dup2(fi, 0);
      dup2(fo, 1);
      dup2(fe, 2);
      execl(RINGAVE_BIN, "ringave", static_cast<char*>(nullptr));
      _exit(122);
    }
    int st = 0;
    if (pid < 0 || waitpid(pid, &st, 0) != pid) return r;
    if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
    r.out = read(".stdout");
    r.err = read(".stderr");
    std::filesystem::remove(path_ / ".stdin");
    std::filesystem::remove(path_ / ".stdout");
    std::filesystem::remove(path_ / ".stderr");
    return r;
  }

 private:
  std::filesystem::path path_;
};

// A name as a 50-character field shows it on the console.
inline std::string pad50(const std::string& s) { return s + std::string(50 - s.size(), ' '); }

// Start-up banner, help text and the list-file question, as the console shows them.
inline const std::string kBanner =
    "\n"
    " Current dimentions are:\n"
    "   Max: records in a single file =     2001\n"
    "   Max: record length            =     3001\n"
    "   Max: files                    =      100\n"
    "\n";

inline const std::string kHelp =
    "\n"
    " Read input file names from a .lst file?\n"
    "\n"
    "  Answering [T]rue to this question means the program will expect to be\n"
    "  given the name of a simple text file with 4 columns separated by a\n"
    "  space or comma. The number or rows/files cannot exceed  100\n"
    "  The column elements are:\n"
    "\n"
    "   Column 1. An input Filename\n"
    "   Column 2. The input file Format Code (1=TSF 2=Compact TRF)\n"
    "   Column 3. The Start position of every Tree number in the series ID field(1:8)\n"
    "   Column 4. The Stop position of every Tree number in the series ID field(1:8)\n"
    "\n"
    "  NOTE: Program assumes ALL series come from the same site and that the site\n"
    "  identifying code begins in postion 1 of the ID field and ends before the first\n"
    "  position of the tree number field.\n"
    "\n"
    "  Example: list file = <tst.lst> Contains 3 lines followed by a carriage return\n"
    "  bcc.rwl_ind1.txt 2 4 5\n"
    "  fcc_ind1.txt 2 4 5\n"
    "  LPSD_ALL.txt 1 2 4\n"
    "\n"
    "  Answering [F]alse to this question the program prompt the user an input file\n"
    "  Name, and Start and End positions of the tree numbers in the ID field.\n";

inline const std::string kQuestion = "\n Read input file names from a .lst file? [T]rue or [F]alse :  ";

inline const std::string kStart = kBanner + kHelp + kQuestion;

// The single-file dialogue up to the last prompt, for a file that exists
// (answers are not echoed: piped input leaves each prompt's line open).
inline std::string single_dialogue(const std::string& name) {
  return "\n Enter input file name :  "
         "\n Select input file format\n"
         "  [1] TSF (Tucson raw ring width)\n"
         "  [2] Compact TRF\n"
         " Enter Selection :> "
         "\n For all series IDs in this file: " +
         pad50(name) +
         "\n"
         "  Enter start position of the tree number >   "
         "  Enter stop position of the tree number  >   ";
}

inline std::string reading(const std::string& name) {
  return "\n READING INPUT FILE :> " + pad50(name) + "\n  #      ID    IYR    LYR    AGE\n";
}

inline const std::string kNormalEnd = "\n Normal Termination of program\n";

}  // namespace ringave_e2e
