#pragma once

// The known answers of the sealed roster (tests/sealing/vectors.tsv, written by the sealing tool) checked against one
// platform's Sealing: the Windows program's CNG under Wine, the page's WebCrypto in a browser. One line per vector,
// "ok" or what differs; 0 when all agree, 1 when one differs, 2 when the file cannot be read or holds none.

#include "core/roster/Sealing.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace sealingvectors {

using Bytes = std::vector<std::uint8_t>;

inline Bytes hex(const std::string& text)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(std::uint8_t(std::stoul(text.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out(1);
    for (const char c : line) {
        if (c == '\t')
            out.emplace_back();
        else if (c != '\r')
            out.back() += c;
    }
    return out;
}

template <class A> Bytes bytesOf(const A& array)
{
    return {array.begin(), array.end()};
}

inline int check(roster::Sealing& sealing, const char* path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::printf("cannot read %s\n", path);
        return 2;
    }
    std::string line;
    bool header = true;
    int number = 0, failures = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (header) {
            header = false;
            continue;
        }
        const std::vector<std::string> f = fields(line);
        ++number;
        if (f.size() != 11) {
            std::printf("vector %d: %zu fields\n", number, f.size());
            ++failures;
            continue;
        }
        roster::PairKeys keys{};
        sealing.derivePairKeys(hex(f[2]), hex(f[3]), std::uint32_t(std::stoul(f[4])), keys);
        const unsigned row = unsigned(std::stoul(f[7]));
        const Bytes rowNumber{std::uint8_t(row), std::uint8_t(row >> 8)};
        Bytes record(hex(f[9]).size());
        const bool opened = sealing.openRecord(keys.rowKey, hex(f[8]), rowNumber, hex(f[10]), record);
        Bytes badTag = hex(f[10]);
        badTag.back() ^= 0x80;
        Bytes scratch(record.size());
        const bool refused = !sealing.openRecord(keys.rowKey, hex(f[8]), rowNumber, badTag, scratch);
        Bytes wiped = hex(f[9]);
        sealing.wipe(wiped);
        std::string wrong;
        if (bytesOf(keys.lookupTag) != hex(f[5]))
            wrong += " lookup tag";
        if (bytesOf(keys.rowKey) != hex(f[6]))
            wrong += " row key";
        if (!opened || record != hex(f[9]))
            wrong += " record";
        if (!refused)
            wrong += " (a changed tag opened)";
        if (wiped != Bytes(wiped.size(), 0))
            wrong += " (wipe left bytes)";
        std::printf("vector %d: %s%s\n", number, wrong.empty() ? "ok" : "differs:", wrong.c_str());
        failures += !wrong.empty();
    }
    if (number == 0) {
        std::printf("no vectors in %s\n", path);
        return 2;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace sealingvectors
