#include "app/QtPrompts.h"
#include <QApplication>
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

QString QtPrompts::saveFileName(const QString& filter, const QString& suggestedName)
{
    // The window that asks is the active one (the status plot, say), so the
    // dialog stands in front of it rather than of the main window.
    QWidget* owner = QApplication::activeWindow() ? QApplication::activeWindow() : m_owner;
    QFileDialog dlg(owner, QString(), QString(), filter);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setAcceptMode(QFileDialog::AcceptSave);  // asks before replacing a file
    if (!suggestedName.isEmpty())
        dlg.selectFile(suggestedName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().front();
}
