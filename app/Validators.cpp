#include "app/Validators.h"
#include <QLineEdit>

MaxCharsValidator::MaxCharsValidator(QLineEdit* edit, int max) : QValidator(edit), m_last(edit->text()), m_max(max)
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { m_last = t; });
}

QValidator::State MaxCharsValidator::validate(QString& input, int&) const
{
    return (input.size() > m_max && input.size() > m_last.size()) ? Invalid : Acceptable;
}
