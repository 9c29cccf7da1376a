#include "app/application.h"
#include "platform/registry.h"
#include "res/translations.h"
#include "store/contact_exchange_command.h"
#include "ui/telephony_widgets/message_box_prompter.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace {

constexpr const char* kUsage
    = "Usage: kestrium                            start Kestrium; its data folder is the current directory\n"
      "       kestrium --import FILE.vcf          add the contacts of a vCard file to the data folder's\n"
      "       kestrium --export FILE.vcf [--vcard3]  write the data folder's contacts to a vCard file\n"
      "       kestrium --help                     show this text\n"
      "Qt's own options (-platform, -style, -session...) are accepted as well.\n";

bool AsksForHelp(const std::vector<std::string>& arguments)
{
    return std::any_of(arguments.begin(), arguments.end(),
        [](const std::string& argument) { return argument == "--help" || argument == "-h"; });
}

} // namespace

// The data folder is the working directory the program is started in. "--import" and "--export"
// exchange its contacts with a vCard file and end without a window (and need no display). Help and
// a wrong command line end before anything is read or created.
int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (AsksForHelp(arguments)) {
        std::cout << kUsage;
        return 0;
    }
    if (const auto command = ContactExchangeCommand::Parse(arguments)) {
        QCoreApplication core(argc, argv);
        return command->Run(std::filesystem::current_path(), std::cout, std::cerr);
    }
    // Qt takes its own options out of argv; whatever is left is not Kestrium's.
    QApplication qt(argc, argv);
    if (argc > 1) {
        std::cerr << "kestrium: unknown option \"" << argv[1] << "\"\n" << kUsage;
        return 2;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    // The texts in the language of the system's locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
    const Translations translations(QLocale::system());
    MessageBoxPrompter prompter;
    Application application(std::filesystem::current_path(), platform::RegistryHive::CurrentUser(), prompter);
    return application.Run();
}
