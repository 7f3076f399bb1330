#include "app/QtPrompts.h"
#include <QFileDialog>
#include <QMessageBox>

void QtPrompts::messageBox(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_owner);
    box.exec();
}

QString QtPrompts::openFileName(const QString& filter, const QString& initialName)
{
    QFileDialog dlg(m_owner, QString(), QString(), filter);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    if (!initialName.isEmpty() && !initialName.contains(u'*'))
        dlg.selectFile(initialName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().front();
}
