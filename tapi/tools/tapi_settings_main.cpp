// tapi-settings: the telephony service's own dialogs, started by lineTranslateDialogA and
// lineConfigDialogA so that the service library itself stays free of Qt.

#include "dialing_rules_dialog.h"
#include "line_config_dialog.h"

#include "platform/registry.h"

#include <QApplication>
#include <QCommandLineParser>

#include <iostream>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("tapi-settings");
    QCommandLineParser parser;
    parser.setApplicationDescription("Settings of the Kestrium telephony service.");
    parser.addHelpOption();
    const QCommandLineOption dialingRules("dialing-rules", "Show the dialing rules of the current location.");
    const QCommandLineOption address("address", "Example number shown translated.", "number");
    const QCommandLineOption lineConfig("line-config", "Show the configuration of a line device.", "device");
    // Not "--name": Qt's X11 platform takes -name and --name for itself (the window class) and
    // removes them before the program sees them.
    const QCommandLineOption name("line-name", "Name of the line device.", "name");
    parser.addOptions({ dialingRules, address, lineConfig, name });
    parser.process(app);

    auto& hive = platform::RegistryHive::CurrentUser();
    if (parser.isSet(dialingRules)) {
        tapi::DialingRulesDialog dialog(hive, parser.value(address));
        dialog.exec();
        return 0;
    }
    if (parser.isSet(lineConfig)) {
        const QString lineName
            = parser.value(name).isEmpty() ? "Line " + parser.value(lineConfig) : parser.value(name);
        tapi::LineConfigDialog dialog(hive, lineName);
        dialog.exec();
        return 0;
    }
    std::cerr << "tapi-settings: use --dialing-rules or --line-config DEVICE (see --help)\n";
    return 2;
}
