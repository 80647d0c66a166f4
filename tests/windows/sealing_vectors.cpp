// sealing_vectors: the Windows program's sealed-roster cryptography (CNG, frontends/windows/CngSealing.cpp) against
// the known answers that the sealing tool and the Linux program share, run under Wine.
//
//   sealing_vectors VECTORS.tsv      one line per vector, "ok" or what differs; status 0 when all agree
//   sealing_vectors --time N         the seconds one PBKDF2 derivation of N iterations takes here

#include "core/roster/Sealing.h"
#include "core/shell/RuntimeError.h"
#include "frontends/windows/CngSealing.h"
#include "tests/sealing/SealingVectors.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    try {
        if (argc == 3 && std::string(argv[1]) == "--time") {
            frontend::CngSealing sealing;
            const std::vector<std::uint8_t> pair(76, 0x31), salt(roster::SaltSize, 0x5a);
            const auto start = std::chrono::steady_clock::now();
            roster::PairKeys keys{};
            sealing.derivePairKeys(pair, salt, std::uint32_t(std::stoul(argv[2])), keys);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            std::printf("%.3f\n", took.count());
            return 0;
        }
        if (argc == 2) {
            frontend::CngSealing sealing;
            return sealingvectors::check(sealing, argv[1]);
        }
    } catch (const RuntimeError& error) {
        std::printf("run-time error %d\n", error.number());
        return 3;
    }
    std::printf("usage: sealing_vectors VECTORS.tsv | --time ITERATIONS\n");
    return 2;
}
