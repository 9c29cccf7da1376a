#include "app/application.h"
#include "app/contact_exchange_command.h"
#include "platform/registry.h"
#include "ui/telephony_widgets/message_box_prompter.h"

#include <QApplication>

#include <filesystem>
#include <iostream>

// The data folder is the working directory the program is started in. "--import" and "--export"
// exchange its contacts with a vCard file and end without a window (and need no display).
int main(int argc, char* argv[])
{
    if (const auto command = ContactExchangeCommand::Parse(std::vector<std::string>(argv + 1, argv + argc))) {
        QCoreApplication core(argc, argv);
        return command->Run(std::filesystem::current_path(), std::cout, std::cerr);
    }
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    MessageBoxPrompter prompter;
    Application application(std::filesystem::current_path(), platform::RegistryHive::CurrentUser(), prompter);
    return application.Run();
}
