#include "core/shell/Program.h"
#include "frontends/qt/QtRuntime.h"
#include "frontends/qt/WindowSystem.h"
#ifdef SCOREQUERY_SEALED
#include "frontends/qt/OpenSslSealing.h"

#include <malloc.h>
#include <sys/prctl.h>
#endif

#include <QApplication>

#ifdef SCOREQUERY_SEALED
namespace {

// A sealed lookup's slow step shows the busy cursor; the click is still handled to its end before the event loop
// runs again.
class BusyCursorSealing final : public frontend::OpenSslSealing {
public:
    void derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                        std::uint32_t iterations, roster::PairKeys& keys) override
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        frontend::windowsystem::flush();
        struct Restore {
            ~Restore() { QGuiApplication::restoreOverrideCursor(); }
        } restore;
        OpenSslSealing::derivePairKeys(pair, salt, iterations, keys);
    }
};

} // namespace
#endif

int main(int, char* argv[])
{
#ifdef SCOREQUERY_SEALED
    // Other processes of the same user may not read this one's memory (ptrace, /proc/PID/mem, gcore) nor does a
    // crash leave a core file; and the memory that glibc's allocator takes back is overwritten, so that a text the
    // toolkit freed is not left in it (blocks that glibc keeps in its per-thread cache are not; see the README).
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    mallopt(M_PERTURB, 0x5a);
#endif
    if (!frontend::windowsystem::prepareToolkit())
        return 1;
    // The program takes no command line: only its name reaches the toolkit, so none of Qt's own options
    // (-platform, -style, -stylesheet, -geometry, ...) can change it.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    frontend::initialiseToolkit();
    frontend::QtRuntime runtime;
#ifdef SCOREQUERY_SEALED
    // The program for publishing: its rows open only for the pair that was typed.
    BusyCursorSealing sealing;
    roster::setSealing(&sealing);
#endif
    return shell::runProgram(runtime);
}
