#include "ToolProcess.h"

std::unique_ptr<QProcess> StartTool(const QStringList& args, const QString& sim, const QProcessEnvironment& env)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    // A command needs no display: one that tried to open a window would fail.
    all.remove(QStringLiteral("DISPLAY"));
    all.remove(QStringLiteral("WAYLAND_DISPLAY"));
    all.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    all.remove(QStringLiteral("MORVAX_SIM"));
    if (!sim.isEmpty())
        all.insert(QStringLiteral("MORVAX_SIM"), sim);
    for (const QString& key : env.keys())
        all.insert(key, env.value(key));
    p->setProcessEnvironment(all);
    p->start(QStringLiteral(MORVAX_TOOL), args);
    return p;
}

ToolRun FinishTool(QProcess& p)
{
    ToolRun r;
    if (!p.waitForFinished(60000))
        p.kill();
    p.waitForFinished(5000);
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

ToolRun RunTool(const QStringList& args, const QString& sim, const QProcessEnvironment& env)
{
    return FinishTool(*StartTool(args, sim, env));
}
