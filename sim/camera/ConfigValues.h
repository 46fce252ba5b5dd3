#pragma once

#include <string>
#include <vector>

namespace sim {

// How the virtual cameras' configuration reads its values. Each reader takes the value as
// written and says whether it is of its kind and within its range.

// Decimal, or hexadecimal after 0x; a leading zero does not switch to octal.
bool parseWhole(const std::string &text, long long lo, long long hi, long long &out);
// A decimal point whatever the program's locale (a Qt program takes the user's).
bool parseNumber(const std::string &text, double lo, double hi, double &out);
// minCount..maxCount numbers from lo to hi, separated by ',' or blanks.
bool parseNumbers(const std::string &text, size_t minCount, size_t maxCount, double lo, double hi,
                  std::vector<double> &out);
// The same for whole numbers.
bool parseWholes(const std::string &text, size_t minCount, size_t maxCount, long long lo, long long hi,
                 std::vector<long long> &out);
// 1/0, yes/no, true/false, on/off in any case.
bool parseBool(const std::string &text, bool &out);

bool hasBlank(const std::string &s);
// Serial numbers also name files in the state folder: plain characters only.
bool plainSerial(const std::string &s);
// Six hex pairs separated by ':' or '-', the same separator throughout.
bool macAddress(const std::string &s);
bool ipv4Address(const std::string &s);

} // namespace sim
