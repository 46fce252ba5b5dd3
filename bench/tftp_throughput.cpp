// Throughput of a 32 MiB TFTP download with curl on loopback: lumidesk-tftpd against
// Debian's tftpd-hpa, both started here on unprivileged ports, same file, same client.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr const char *hpaServer = "/usr/sbin/in.tftpd";
constexpr size_t fileBytes = 32u << 20;

std::string folder;
std::map<std::string, int> ports; // server name -> port
std::vector<pid_t> servers;

int freeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Runs argv with stdout and stderr discarded; returns the pid.
pid_t spawn(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const auto &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool download(int port, const std::string &name, const std::string &out)
{
    const pid_t pid = spawn(
        {"curl", "-s", "-f", "--max-time", "120", "-o", out, "tftp://127.0.0.1:" + std::to_string(port) + "/" + name});
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

off_t fileSize(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

bool waitUntilServing(int port)
{
    const std::string out = folder + "/probe.out";
    for (int i = 0; i < 100; ++i) {
        if (download(port, "probe.txt", out))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool setUp()
{
    char pattern[] = "/tmp/lumidesk-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return false;
    folder = pattern;
    ::chmod(folder.c_str(), 0755); // tftpd-hpa reads as an unprivileged user
    std::vector<char> bytes(fileBytes);
    std::mt19937 random(7);
    std::generate(bytes.begin(), bytes.end(), [&] { return char(random()); });
    for (const auto &[name, data] :
         {std::pair<std::string, const std::vector<char> *>{"image.bin", &bytes}, {"probe.txt", nullptr}}) {
        const std::string path = folder + "/" + name;
        FILE *file = std::fopen(path.c_str(), "wb");
        if (!file)
            return false;
        if (data)
            std::fwrite(data->data(), 1, data->size(), file);
        else
            std::fputs("ready\n", file);
        std::fclose(file);
        ::chmod(path.c_str(), 0644);
    }

    ports["lumidesk-tftpd"] = freeUdpPort();
    ports["tftpd-hpa"] = freeUdpPort();
    servers.push_back(spawn({LUMIDESK_TFTPD, "--root", folder, "--address", "127.0.0.1", "--port",
                             std::to_string(ports["lumidesk-tftpd"])}));
    std::vector<std::string> hpa = {
        hpaServer, "--foreground", "--address", "127.0.0.1:" + std::to_string(ports["tftpd-hpa"]), "--secure", folder};
    if (::geteuid() != 0) { // it cannot change user or root folder then
        hpa.insert(hpa.begin() + 1, {"--user", std::string(std::getenv("USER") ? std::getenv("USER") : "nobody")});
    }
    servers.push_back(spawn(hpa));
    for (const auto &[name, port] : ports)
        if (!waitUntilServing(port)) {
            std::fprintf(stderr, "%s did not answer on port %d\n", name.c_str(), port);
            return false;
        }
    return true;
}

void tearDown()
{
    for (pid_t pid : servers)
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    if (!folder.empty())
        std::system(("rm -rf '" + folder + "'").c_str());
}

void download32MiB(benchmark::State &state, const std::string &server)
{
    const std::string out = folder + "/" + server + ".out";
    for (auto _ : state) {
        if (!download(ports[server], "image.bin", out) || fileSize(out) != off_t(fileBytes)) {
            state.SkipWithError("download failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fileBytes));
}

// Keeps the time per download of every repetition, by server.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, std::vector<double>> seconds;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                seconds[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
        ConsoleReporter::ReportRuns(runs);
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (::access(hpaServer, X_OK) != 0) {
        std::fprintf(stderr, "%s is missing: install tftpd-hpa (scripts/install-deps)\n", hpaServer);
        return 1;
    }
    if (!setUp()) {
        tearDown();
        return 1;
    }
    for (const std::string server : {"lumidesk-tftpd", "tftpd-hpa"})
        benchmark::RegisterBenchmark("curl_32MiB", download32MiB, server)
            ->Name("curl_32MiB/" + server)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(5);

    // Alternate the two servers' repetitions so that drift in machine load hits both alike.
    std::vector<char *> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    tearDown();

    const double ours = median(reporter.seconds["curl_32MiB/lumidesk-tftpd"]);
    const double theirs = median(reporter.seconds["curl_32MiB/tftpd-hpa"]);
    if (ours <= 0 || theirs <= 0) {
        std::fprintf(stderr, "no figure: a server failed\n");
        return 1;
    }
    std::printf("throughput ratio lumidesk-tftpd / tftpd-hpa (32 MiB, curl, loopback): %.3f\n", theirs / ours);
    return 0;
}
