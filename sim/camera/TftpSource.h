#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Where a network camera fetches its firmware from: a TFTP server and a file on it. A virtual
// camera lives on this machine, so the server is always on the loopback (127.0.0.0/8).
struct TftpSource
{
    uint32_t address = 0; // host byte order
    uint16_t port = 69;
    std::string file;

    std::string server() const; // "127.0.0.1:69"

    // "<address>[:<port>]": a dotted IPv4 loopback address; port 1 to 65535, 69 when left out.
    // Names are refused, not looked up. why says what is wrong.
    static bool parseServer(const std::string &text, uint32_t &address, uint16_t &port, std::string &why);
    // 1 to 127 printable characters without blanks: what the server takes as a request's name.
    static bool validFile(const std::string &name);
    // The upgrade hand-over text "<address>[:<port>] <file>", blanks around ignored; a text of
    // blanks only takes both from the defaults.
    static bool parseHandover(const std::string &text, const std::string &defaultServer, const std::string &defaultFile,
                              TftpSource &out, std::string &why);
};

} // namespace sim
