#pragma once
#include <QValidator>

class QLineEdit;

// Limits typed input to a number of characters, as a length limit on an edit
// does: a longer text put there by the program stays whole and can be
// shortened, but typing cannot make a text longer than the limit.
class MaxCharsValidator : public QValidator {
public:
    MaxCharsValidator(QLineEdit* edit, int max);
    State validate(QString& input, int& pos) const override;

private:
    QString m_last;  // the edit's text as last accepted; setText() bypasses validation
    int m_max;
};

// Text typed into the baud list's field is never taken as a choice of rate.
// An editable combo box selects the entry that matches the typed text, and
// reports it as activated, when Enter is pressed or the field loses the
// focus, but only for text its validator accepts; this one accepts none
// (typing itself stays free). A rate is chosen only by a pick from the
// opened list or by moving the selection with the arrow keys or the wheel on
// the closed one.
class TypedTextNeverChosen : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString&, int&) const override { return Intermediate; }
};
