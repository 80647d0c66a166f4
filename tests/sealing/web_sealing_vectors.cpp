// The page's sealed-roster cryptography (WebCrypto through frontends/web/WebSealing.cpp) against the known answers
// that the sealing tool, the Linux program and the Windows program share. Built by tools/build-web.sh into
// build-web/sealing_vectors.html with vectors.tsv inside; check_web_vectors.py opens it in headless Chromium.
// One line per vector, "ok" or what differs, then "result: 0" when all agree.

#include "core/shell/RuntimeError.h"
#include "frontends/web/WebSealing.h"
#include "tests/sealing/SealingVectors.h"

#include <cstdio>

int main()
{
    int status = 3;
    try {
        frontend::WebSealing sealing;
        status = sealingvectors::check(sealing, "/vectors.tsv");
    } catch (const RuntimeError& error) {
        std::printf("run-time error %d\n", error.number());
    }
    std::printf("result: %d\n", status);
    return status;
}
