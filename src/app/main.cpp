#include "app/application.h"
#include "platform/registry.h"
#include "ui/telephony_widgets/message_box_prompter.h"

#include <QApplication>

#include <filesystem>

// The data folder is the working directory the program is started in.
int main(int argc, char* argv[])
{
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    MessageBoxPrompter prompter;
    Application application(std::filesystem::current_path(), platform::RegistryHive::CurrentUser(), prompter);
    return application.Run();
}
