#pragma once
#include "platform/Prompts.h"

class QWidget;

// Prompts shown with Qt's own dialogs, owned by the main window once it
// exists.
class QtPrompts : public Prompts {
public:
    void setOwner(QWidget* owner) { m_owner = owner; }
    void messageBox(const QString& text, const QString& caption) override;
    QString openFileName(const QString& filter, const QString& initialName) override;
    QString saveFileName(const QString& filter, const QString& suggestedName) override;

private:
    QWidget* m_owner = nullptr;
};
