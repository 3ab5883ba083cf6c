// The script interpreter against Python on the same two programs, in the same run:
//   loop: 10 000 000 integer additions with a comparison, and a string concatenation every
//         1 000 rounds;
//   fib:  recursive Fibonacci(25).
// Each program runs as a process (lgoty-script beside this binary, python3 from PATH), best
// of three; CPU time of the child is reported next to wall time because the machine may be
// shared. Ratio = lgoty-script / python3 (below 1 means faster than Python).
//
// Usage: bench_script [PATH_TO_LGOTY_SCRIPT]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kLoopPascal = R"(var i, s: Integer; t: String;
begin
  s := 0; t := ''; i := 0;
  while i < 10000000 do begin
    s := s + 3;
    i := i + 1;
    if i mod 1000 = 0 then t := t + 'x';
  end;
  ShowMessage(IntToStr(s) + ' ' + IntToStr(Length(t)));
end.
)";

constexpr const char* kLoopPython = R"(s = 0; t = ''; i = 0
while i < 10000000:
    s = s + 3
    i = i + 1
    if i % 1000 == 0:
        t = t + 'x'
print(str(s) + ' ' + str(len(t)))
)";

constexpr const char* kFibPascal = R"(function Fib(n: Integer): Integer;
begin
  if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2);
end;
begin
  ShowMessage(IntToStr(Fib(25)));
end.
)";

constexpr const char* kFibPython = R"(def fib(n):
    if n < 2:
        return n
    return fib(n - 1) + fib(n - 2)
print(fib(25))
)";

struct Timing {
  double wall = 0;
  double cpu = 0;
  bool ok = false;
};

double ChildCpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

Timing RunOnce(const std::vector<std::string>& argv) {
  Timing t;
  std::fflush(stdout);  // the child must not inherit unwritten output
  const double cpu_before = ChildCpu();
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = ChildCpu() - cpu_before;
  t.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return t;
}

Timing Best(const std::vector<std::string>& argv) {
  Timing best;
  for (int i = 0; i < 3; ++i) {
    Timing t = RunOnce(argv);
    if (!t.ok) return t;
    if (!best.ok || t.cpu < best.cpu) best = t;
  }
  return best;
}

void Write(const fs::path& path, const char* text) { std::ofstream(path) << text; }

}  // namespace

int main(int argc, char** argv) {
  fs::path tool = argc > 1 ? fs::path(argv[1]) : fs::path(argv[0]).parent_path() / "lgoty-script";
  if (!fs::exists(tool)) {
    std::fprintf(stderr, "lgoty-script not found at %s\n", tool.c_str());
    return 1;
  }
  fs::path dir = fs::temp_directory_path() / ("lgoty_script_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  struct Case {
    const char* name;
    const char* pascal;
    const char* python;
  } cases[] = {{"loop 10M additions", kLoopPascal, kLoopPython}, {"fib(25)", kFibPascal, kFibPython}};
  std::printf("%-20s %12s %12s %12s %12s %10s %10s\n", "program", "script wall", "script cpu", "python wall",
              "python cpu", "ratio cpu", "ratio wall");
  int status = 0;
  for (const Case& c : cases) {
    Write(dir / "p.pas", c.pascal);
    Write(dir / "p.py", c.python);
    Timing ours = Best({tool.string(), (dir / "p.pas").string()});
    Timing py = Best({"python3", (dir / "p.py").string()});
    if (!ours.ok || !py.ok) {
      std::printf("%-20s failed (script %s, python %s)\n", c.name, ours.ok ? "ok" : "failed", py.ok ? "ok" : "failed");
      status = 1;
      continue;
    }
    std::printf("%-20s %11.3fs %11.3fs %11.3fs %11.3fs %10.2f %10.2f\n", c.name, ours.wall, ours.cpu, py.wall, py.cpu,
                ours.cpu / py.cpu, ours.wall / py.wall);
  }
  fs::remove_all(dir);
  return status;
}
