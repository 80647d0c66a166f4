// The Windows program: the core's start-up and event loop on the plain Windows API. The command line is never
// read, and the program writes nothing: no file, no registry value.

#include "core/shell/Program.h"
#include "frontends/windows/WinRuntime.h"
#ifdef SCOREQUERY_SEALED
#include "frontends/windows/CngSealing.h"

namespace {

// A sealed lookup's slow step shows the busy cursor; the click is still handled to its end before the message loop
// runs again.
class BusyCursorSealing final : public frontend::CngSealing {
public:
    void derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                        std::uint32_t iterations, roster::PairKeys& keys) override
    {
        struct Restore {
            HCURSOR before = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514))); // IDC_WAIT
            ~Restore() { SetCursor(before); }
        } restore;
        CngSealing::derivePairKeys(pair, salt, iterations, keys);
    }
};

} // namespace
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    frontend::WinRuntime runtime(instance);
#ifdef SCOREQUERY_SEALED
    // The program for publishing: its rows open only for the pair that was typed.
    BusyCursorSealing sealing;
    roster::setSealing(&sealing);
#endif
    return shell::runProgram(runtime);
}
