#pragma once

#include <QDialog>

// "Kestrium PBX Setup": the PBX system's name, named presets each with a speed button, and the
// preset script of dial actions, with a File menu. It shows its controls and closes; nothing it
// holds is stored or acted on.
class PbxSetupDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kPresetCount = 8;

    explicit PbxSetupDialog(QWidget* parent = nullptr);

private:
    QWidget* CreatePresets();
};
