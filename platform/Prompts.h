#pragma once
#include <QString>

// The modal dialogs an operation may show: the message box with one OK button
// and the open-file and save-file dialogs. The window implements them with Qt dialogs; tests
// answer them without a display and record what was asked. The window's
// thread only.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal message box with an OK button. caption is the box's title
    // (the application name where the tool passes none).
    virtual void messageBox(const QString& text, const QString& caption) = 0;

    // An open-file dialog with the given name filter ("FILE(*.*)" style) and
    // initial file name. Returns the chosen full path, or an empty string when
    // the dialog was cancelled.
    virtual QString openFileName(const QString& filter, const QString& initialName) = 0;

    // A save-file dialog with the given name filter ("CSV (*.csv)" style) and
    // suggested file name. Returns the chosen full path (an existing file the
    // user agreed to replace, or a new one), or an empty string when the
    // dialog was cancelled. A face that asks nobody (the command line) keeps
    // this answer: cancelled.
    virtual QString saveFileName(const QString& filter, const QString& suggestedName)
    {
        (void)filter;
        (void)suggestedName;
        return {};
    }
};
