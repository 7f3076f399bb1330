#include "app/ToolApp.h"
#include "cli/CommandLine.h"
#include "cli/CommandRunner.h"
#include "cli/PlatformChoice.h"
#include <QStringList>

int main(int argc, char** argv)
{
    // The words are read before any application object exists: a command,
    // --help and --version need no display.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    const Invocation inv = ParseCommandLine(words);
    if (inv.action != Invocation::Action::Window)
        return RunCommandLine(inv, argc, argv);
    return CToolApp::Run(PlatformChoice::KindOf(inv), argc, argv);
}
