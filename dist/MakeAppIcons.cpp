// Writes the application icon as PNG files for the freedesktop icon theme:
// <dir>/<N>x<N>/apps/<name>.png for every size given, drawn from the same
// artwork as the window icon. Runs at build time.
// Usage: morvax-make-icons DIR NAME SIZE...
// Exit status 0 when every file was written, 1 otherwise, 2 on bad arguments.
#include "resources/Artwork.h"
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    // Drawing needs a GUI application but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: morvax-make-icons DIR NAME SIZE...\n");
        return 2;
    }
    const QString dir = args[1], name = args[2];
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args[i].toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "morvax-make-icons: bad size %s\n", qPrintable(args[i]));
            return 2;
        }
        const QString sub = QStringLiteral("%1/%2x%2/apps").arg(dir).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(sub, name);
        if (!QDir().mkpath(sub) || !Artwork::AppIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "morvax-make-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
