// Main window figures measured from outside, on processes of their own:
//  - start-up to the first paint of the main window, against a bare Qt Widgets program
//    with an empty QMainWindow, the two started alternately in one run;
//  - CPU used while "Automatické čtení" reads the simulated controller every second.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string make_temp_dir() {
    char tmpl[] = "/tmp/tx20-bench-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

void write_settings(const std::string& config_dir, const std::string& device, int da) {
    std::ofstream ini(config_dir + "/TavTx20.ini", std::ios::trunc);
    ini << "[PORTMAP]\nCOM1=" << device << "\n[PORT]\nCOM=1\nBAUDRATE=9600\n[ADRESA]\nDA=" << da
        << "\nSA=0\n";
}

// The environment of the children: offscreen unless told otherwise, and a settings
// folder of the benchmark's own.
std::vector<std::string> child_env(const std::string& config_dir) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string s = *e;
        if (s.rfind("XDG_CONFIG_HOME=", 0) == 0 || s.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
        env.push_back(s);
    }
    const char* qpa = std::getenv("BENCH_QPA");
    env.push_back(std::string("QT_QPA_PLATFORM=") + (qpa ? qpa : "offscreen"));
    env.push_back("XDG_CONFIG_HOME=" + config_dir);
    return env;
}

struct Child {
    pid_t pid = -1;
    int out = -1;  // the child's stdout
};

Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    std::vector<char*> a, e;
    for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    for (const auto& s : env) e.push_back(const_cast<char*>(s.c_str()));
    e.push_back(nullptr);
    Child c;
    if (posix_spawn(&c.pid, a[0], &fa, nullptr, a.data(), e.data()) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    c.out = fds[0];
    return c;
}

// Reads the child's output until `word` or the deadline; true when it came.
bool wait_for(const Child& c, const std::string& word, int timeout_ms, std::string* all = nullptr) {
    std::string got;
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got.find(word) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{c.out, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buf[512];
        const ssize_t n = read(c.out, buf, sizeof buf);
        if (n <= 0) return false;
        got.append(buf, static_cast<std::size_t>(n));
    }
    if (all) *all = got;
    return true;
}

void finish(Child& c) {
    int status = 0;
    if (c.pid > 0 && waitpid(c.pid, &status, WNOHANG) == 0) {
        // Give it a moment to leave by itself, then end it.
        for (int i = 0; i < 50 && waitpid(c.pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (waitpid(c.pid, &status, WNOHANG) == 0) {
            kill(c.pid, SIGKILL);
            waitpid(c.pid, &status, 0);
        }
    }
    if (c.out >= 0) close(c.out);
    c = {};
}

double startup_ms(const char* probe, const std::vector<std::string>& env) {
    const auto t0 = Clock::now();
    Child c = spawn({probe}, env);
    const bool ok = c.pid > 0 && wait_for(c, "painted\n", 20000);
    const auto t1 = Clock::now();
    finish(c);
    return ok ? std::chrono::duration<double, std::milli>(t1 - t0).count() : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_StartupToFirstPaint(benchmark::State& state) {
    const std::string config = make_temp_dir();
    // A pseudo-terminal stands in for COM1, so the port opens as it would on a machine.
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    write_settings(config, name, 1);
    const auto env = child_env(config);
    for (const char* probe : {TX20_PROBE_BARE, TX20_PROBE_TEXT, TX20_PROBE_TX20})
        startup_ms(probe, env);  // warm the file cache
    std::vector<double> bare, text, tx20;
    for (auto _ : state) {
        const double b = startup_ms(TX20_PROBE_BARE, env);
        const double x = startup_ms(TX20_PROBE_TEXT, env);
        const double t = startup_ms(TX20_PROBE_TX20, env);
        if (b < 0 || x < 0 || t < 0) {
            state.SkipWithError("a probe did not paint");
            break;
        }
        bare.push_back(b);
        text.push_back(x);
        tx20.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    state.counters["bare_ms"] = median(bare);
    state.counters["text_ms"] = median(text);
    state.counters["tx20_ms"] = median(tx20);
    state.counters["ratio"] = median(bare) > 0 ? median(tx20) / median(bare) : 0;
    state.counters["ratio_text"] = median(text) > 0 ? median(tx20) / median(text) : 0;
    close(master);
    close(slave);
}
BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_AutomaticReadingCpu(benchmark::State& state) {
    if (access(TX20_SIM, X_OK) != 0) {
        state.SkipWithError("simulator not built");
        return;
    }
    const int seconds =
        std::getenv("BENCH_CPU_SECONDS") ? std::atoi(std::getenv("BENCH_CPU_SECONDS")) : 60;
    const std::string dir = make_temp_dir();
    const std::string link = dir + "/ttyKELVRA";
    const auto env = child_env(dir);
    Child sim = spawn({TX20_SIM, "--link", link, "--address", "1", "--pace"}, env);
    if (sim.pid <= 0 || !wait_for(sim, "\n", 5000)) {
        finish(sim);
        state.SkipWithError("simulator did not start");
        return;
    }
    write_settings(dir, link, 1);
    double cpu = 0, wall = 0, readings = 0;
    for (auto _ : state) {
        Child app = spawn({TX20_PROBE_AUTO, std::to_string(seconds)}, env);
        std::string out;
        const bool ok = wait_for(app, "readings", (seconds + 30) * 1000, &out);
        finish(app);
        if (!ok) {
            state.SkipWithError("the program did not report");
            break;
        }
        std::sscanf(out.c_str() + out.find("cpu_ms"), "cpu_ms %lf wall_ms %lf readings %lf", &cpu,
                    &wall, &readings);
        state.SetIterationTime(wall / 1e3);
    }
    kill(sim.pid, SIGTERM);
    finish(sim);
    state.counters["cpu_ms"] = cpu;
    state.counters["wall_s"] = wall / 1e3;
    state.counters["readings"] = readings;
    state.counters["cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
    state.counters["cpu_ms_per_10min"] = wall > 0 ? cpu * 600e3 / wall : 0;
}
BENCHMARK(BM_AutomaticReadingCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
