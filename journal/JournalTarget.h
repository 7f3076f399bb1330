#pragma once
#include <QByteArray>
#include <QString>

// Where the journal goes: nowhere, a file of the bench (SQLite), or a line
// database (a postgresql:// URL). Chosen, first that is given: the
// --history option, the environment variable MORVAX_HISTORY, [History] Url=
// in Config.ini, else the default file
// $XDG_STATE_HOME/morvax-tool/history.db (~/.local/state/... when the
// variable is unset, empty or relative). The text "off" means nowhere. Any
// thread.
struct JournalTarget {
    enum class Kind { Off, File, Line };

    Kind kind = Kind::Off;
    QString where;       // the file's path, or the URL as given
    bool named = false;  // given by the user, not the default

    static JournalTarget Choose(const QString& option, const QString& environment, const QString& configUrl,
                                const QByteArray& xdgStateHome, const QByteArray& home);
    // The same with MORVAX_HISTORY, XDG_STATE_HOME and HOME from the
    // environment.
    static JournalTarget Choose(const QString& option, const QString& configUrl);
    // The target one text names.
    static JournalTarget Named(const QString& text);
    // The default file; empty when neither variable gives a folder.
    static QString DefaultPath(const QByteArray& xdgStateHome, const QByteArray& home);

    // The target as messages show it: a URL without its password.
    QString shown() const;
};
