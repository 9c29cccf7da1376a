#pragma once

#include "ui/setup/setup_page.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class GeneralPage;
class QLabel;
class QListWidget;
class QStackedWidget;
class TelephonyPage;

// "Kestrium Setup": the program's settings dialog. A list on the left selects one of five pages
// on the right. Save stores every page and, when the lines were given other devices, closes and
// reopens all lines; Cancel stores nothing (macros, devices and test recordings that the pages
// store at once stay stored).
class SetupDialog : public QDialog {
    Q_OBJECT

public:
    // Creates the call-recording or the voice-mail page; an empty factory leaves a placeholder.
    using PageFactory = std::function<std::unique_ptr<SetupPage>(SetupContext&, QWidget* parent)>;

    static constexpr const char* kLineChangeQuestion = QT_TR_NOOP(
        "Seems you changed the telephony lines configuration.\n\nWill have to close, then reopen all "
        "lines.\nExisting calls will be dropped !\n\nAre you sure you want to do this ?");

    enum PageIndex {
        kGeneralPage,
        kCallRecordingPage,
        kVoiceMailPage,
        kTelephonyPage,
        kAddressBookPage,
        kPageCount
    };

    SetupDialog(SetupContext& context, const PageFactory& recordingPageFactory,
        const PageFactory& voiceMailPageFactory, QWidget* parent = nullptr);
    ~SetupDialog() override;

    SetupPage& Page(PageIndex index) const { return *m_pages[index]; }
    TelephonyPage& Telephony() const;
    QString PageTitle() const;

    // Stores everything in order and closes with OK; answering No to the line-change question
    // stores nothing and leaves the dialog open.
    void Save();
    // Cancel, Escape and the close box: the voice-mail page's player or recorder stops first.
    void reject() override;

private:
    QWidget* CreatePageList();
    QWidget* CreatePageArea(const PageFactory& recordingPageFactory, const PageFactory& voiceMailPageFactory);
    QWidget* CreateButtons();
    void AddPage(PageIndex index, std::unique_ptr<SetupPage> page);
    void ShowPage(int index);
    void FitToScreen();

    SetupContext& m_context;
    QListWidget* m_pageList = nullptr;
    QLabel* m_title = nullptr;
    QStackedWidget* m_pageArea = nullptr;
    std::array<SetupPage*, kPageCount> m_pages{};
};
