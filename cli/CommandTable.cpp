#include "cli/CommandTable.h"
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/HistoryCommand.h"
#include "cli/SelfTest.h"
#include "cli/UdevRuleCommand.h"

const std::vector<Command>& Commands()
{
    using W = Command::Words;
    static const QStringList SERIAL = {"--port", "--usb-path", "--serial", "--baud"};
    static const QStringList DOWNLOAD = SERIAL + QStringList{"--sha256", "--all", "--slots", "--watch"};
    static const std::vector<Command> commands = {
        {"list", W::None, nullptr, {}, true, "list",
         "the controllers attached: USB serial ports (COM mode)\n"
         "and HID devices with the VID/PID (HID mode), with\n"
         "USB path, serial number and, over HID, the version",
         [](CommandRun& r) { return r.session->list(); }},
        {"info", W::None, nullptr, {"--usb-path", "--serial"}, true, "info", "the version of the controller over HID",
         [](CommandRun& r) { return r.session->info(); }},
        {"flash", W::One, nullptr, DOWNLOAD + QStringList{"--expect-version"}, true, "flash FILE",
         "download a flash image (.mvx), then look for the\n"
         "controller over HID; with --all, --slots or --watch\n"
         "into many controllers at once (a station)",
         [](CommandRun& r) { return r.session->download(ImageFile::Kind::Flash); }},
        {"eeprom", W::One, nullptr, DOWNLOAD, true, "eeprom FILE", "download an EEPROM image (.eep.mvx)",
         [](CommandRun& r) { return r.session->download(ImageFile::Kind::Eeprom); }},
        {"switch", W::One, "hid com", SERIAL, true, "switch hid|com",
         "switch the controller to HID or COM mode, wait up to\n"
         "10 s until it is back and say where",
         [](CommandRun& r) {
             return r.inv.args.first() == QLatin1String("hid") ? r.session->switchToHid() : r.session->switchToCom();
         }},
        {"status", W::One, "d n z $", SERIAL + QStringList{"--seconds", "--csv"}, true, "status d|n|z|$",
         "send a mode command; for d and n print the status\n"
         "reports, one a line, until the line is quiet for 1 s\n"
         "or --seconds have passed (--csv: as CSV rows)",
         [](CommandRun& r) { return r.session->status(); }},
        {"calibrate", W::None, nullptr, {"--usb-path", "--serial"}, true, "calibrate", "calibrate the touch panel over HID",
         [](CommandRun& r) { return r.session->calibrate(); }},
        {"selftest", W::None, nullptr,
         SERIAL + QStringList{"--image", "--eeprom", "--expect-version", "--junit"}, true,
         "selftest [--image FILE] [--eeprom FILE]",
         "check one controller in ten steps: found, version,\n"
         "switch to COM, n, d, z and $, EEPROM and flash\n"
         "downloads (when given), switch to HID, calibration;\n"
         "prints each step and a verdict; --junit FILE also\n"
         "writes them as JUnit XML",
         [](CommandRun& r) { return SelfTest(*r.session, r.inv, r.out).run(); }},
        {"udev-rule", W::None, nullptr, {}, false, "udev-rule [--config FILE]",
         "print the udev rules that give users access to the\n"
         "controller",
         [](CommandRun& r) { return RunUdevRuleCommand(r.inv, r.out); }},
        {"history", W::Optional, "verify sync",
         {"--serial", "--usb-path", "--port", "--station", "--since", "--result", "--limit", "--csv"}, false,
         "history [verify|sync]",
         "the journal of operations, newest first (filters:\n"
         "--serial, --usb-path, --port, --station, --since,\n"
         "--result, --limit; --csv or --json); verify checks\n"
         "its seals; sync forwards what waits for the line's\n"
         "database",
         [](CommandRun& r) { return RunHistoryCommand(r.inv, r.out); }},
    };
    return commands;
}

const Command* FindCommand(const QString& name)
{
    for (const Command& c : Commands())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}
