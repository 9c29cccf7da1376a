#pragma once

#include "ui/setup/setup_page.h"

class QComboBox;

// The setup dialog's general page: the tab the main window starts in.
class GeneralPage : public SetupPage {
    Q_OBJECT

public:
    // The entry "Last open tab": the main window starts in the tab it was closed on.
    static constexpr int kLastOpenTab = 4;

    GeneralPage(SetupContext& context, QWidget* parent);

    // "Start in tab" = the index of the "Start in:" selection.
    void StoreValues() override;

private:
    SetupContext& m_context;
    QComboBox* m_startIn = nullptr;
};
