#pragma once
#include "cli/Output.h"
#include <QString>

// How one operation of the command line ended, before anything of it is
// printed: the exit status it maps to (ExitStatus.h), the message and reason
// of its result, and what it measured. A command prints it as its result;
// the self-test turns it into a step. Plain value.
struct Outcome {
    int exit = 0;
    QString message;
    QString reason;
    // The result's fields after message and reason ("accepted", "seconds",
    // "mode", "version", "port", "reports", ...), in order.
    Output::Fields fields;
    // A line for people, printed after the result (a download's summary).
    QString note;

    bool ok() const { return exit == 0; }
    // The value of field name; undefined when it is not there.
    QJsonValue field(const QString& name) const
    {
        for (const auto& [key, value] : fields)
            if (key == name)
                return value;
        return QJsonValue(QJsonValue::Undefined);
    }
};
