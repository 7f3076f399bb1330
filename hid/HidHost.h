#pragma once
#include <QString>

// What the HID link needs of the face it works for. The link writes the
// controller's messages into the face's message log and shows the version
// it reads; the window implements this with its edits and log box, the
// command line with its log events. Called on the thread that runs the link.
class HidHost {
public:
    virtual ~HidHost() = default;

    // The VID and PID texts as the user left them (the window reads its
    // edits back first), for the matching rule.
    virtual void ReadIds(QString& vid, QString& pid) = 0;
    // The same texts as they were last read, without reading them again.
    virtual void HeldIds(QString& vid, QString& pid) const = 0;
    // Starts the log afresh: message replaces everything logged so far.
    virtual void StartLog(const QString& message) = 0;
    // Puts a message in front of the log. A message carries its own line
    // ends. It shows at the next Refresh().
    virtual void Log(const QString& message) = 0;
    // The version text shown for the controller.
    virtual void SetVersion(const QString& text) = 0;
    // The version edit takes no more typing; nothing enables it again.
    virtual void DisableVersionEdit() = 0;
    // Shows the log and the version as they stand now.
    virtual void Refresh() = 0;
};
