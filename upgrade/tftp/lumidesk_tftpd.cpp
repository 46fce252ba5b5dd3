// lumidesk-tftpd: the program's TFTP upgrade server without the GUI.
#include "upgrade/tftp/TftpDaemon.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

tftp::TftpDaemon *running = nullptr;

void onSignal(int signal)
{
    if (running)
        running->stop();
    // A second signal ends the process without waiting for running transfers.
    std::signal(signal, SIG_DFL);
}

int usage(const char *why)
{
    if (why)
        std::fprintf(stderr, "lumidesk-tftpd: %s\n", why);
    std::fprintf(stderr, "usage: lumidesk-tftpd --root DIR [--port N] [--address IPV4]\n"
                         "Serves the files of DIR to TFTP read requests (port 69 unless given; 0 picks a free one).\n");
    return 2;
}

bool parsePort(const char *text, uint16_t &port)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno || end == text || *end || value > 65535)
        return false;
    port = uint16_t(value);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    tftp::DaemonConfig config;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help")
            return usage(nullptr), 0;
        if (i + 1 >= argc)
            return usage(("missing value after " + arg).c_str());
        const char *value = argv[++i];
        if (arg == "--root") {
            config.root = value;
        } else if (arg == "--port") {
            if (!parsePort(value, config.listen.port))
                return usage("the port must be a number from 0 to 65535");
        } else if (arg == "--address") {
            in_addr address{};
            if (::inet_pton(AF_INET, value, &address) != 1)
                return usage("the address must be an IPv4 address such as 127.0.0.1");
            config.listen.address = ntohl(address.s_addr);
        } else {
            return usage(("unknown option " + arg).c_str());
        }
    }
    struct stat info;
    if (config.root.empty())
        return usage("--root is required");
    if (::stat(config.root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return usage(("not a folder: " + config.root).c_str());

    tftp::TftpDaemon daemon(config);
    if (daemon.open() != tftp::TftpDaemon::Listen::Listening) {
        std::fprintf(stderr, "lumidesk-tftpd: cannot listen on UDP port %u: %s\n", unsigned(config.listen.port),
                     std::strerror(daemon.lastError()));
        return 1;
    }
    running = &daemon;
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::fprintf(stderr, "lumidesk-tftpd: serving %s on UDP port %u\n", config.root.c_str(), unsigned(daemon.port()));
    daemon.run();
    running = nullptr;
    return 0;
}
