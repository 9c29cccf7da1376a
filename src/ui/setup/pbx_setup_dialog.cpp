#include "ui/setup/pbx_setup_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

PbxSetupDialog::PbxSetupDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Kestrium PBX Setup"));
    auto* menuBar = new QMenuBar;
    QMenu* file = menuBar->addMenu(tr("&File"));
    for (const char* item :
        { QT_TR_NOOP("&New"), QT_TR_NOOP("&Open..."), QT_TR_NOOP("&Save"), QT_TR_NOOP("Save &As...") })
        file->addAction(tr(item));

    auto* system = new QFormLayout;
    auto* systemName = new QLineEdit;
    systemName->setObjectName("pbxSystemName");
    system->addRow(tr("PBX system name:"), systemName);

    auto* script = new QPlainTextEdit;
    script->setObjectName("presetScript");
    auto* scriptGroup = new QGroupBox(tr("Preset script:"));
    (new QVBoxLayout(scriptGroup))->addWidget(script);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &PbxSetupDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(system);
    auto* body = new QHBoxLayout;
    body->addWidget(CreatePresets());
    body->addWidget(scriptGroup, 1);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);
}

QWidget* PbxSetupDialog::CreatePresets()
{
    auto* group = new QGroupBox(tr("Presets:"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Name")), 0, 0);
    for (int preset = 1; preset <= kPresetCount; ++preset) {
        grid->addWidget(new QLineEdit, preset, 0);
        grid->addWidget(new QPushButton(tr("Preset %1").arg(preset)), preset, 1);
    }
    return group;
}
