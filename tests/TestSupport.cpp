#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "resources/Resources.h"
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

DialogFixture::DialogFixture(const SimKnobs& knobs, const char* configIni)
{
    m_oldDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    if (configIni) {
        QFile f(dir.filePath(QStringLiteral("Config.ini")));
        if (f.open(QIODevice::WriteOnly))
            f.write(configIni);
    }
    sim = std::make_unique<SimPlatform>(clock, prompts, knobs);
    dlg = std::make_unique<CToolDlg>(sim->platform());
}

DialogFixture::~DialogFixture()
{
    dlg.reset();
    sim.reset();
    QDir::setCurrent(m_oldDir);
}

void DialogFixture::open()
{
    dlg->show();
    clock.pump();
}

QString DialogFixture::shownLog() const
{
    QString s = dlg->m_editLog->toPlainText();
    s.replace(u'\n', QStringLiteral("\r\n"));
    return s;
}

QColor CentrePixel(QWidget* w)
{
    const QImage img = w->grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

bool LampIs(CHoverButton* button, int icon)
{
    return button->normalIcon().cacheKey() == ToolIcon(icon).cacheKey();
}

SimKnobs KnobsIn(SimKnobs::Mode mode, bool present)
{
    SimKnobs k;
    k.startMode = mode;
    k.startPresent = present;
    return k;
}
