#pragma once

#include <QDialog>

class QSpinBox;

namespace platform {
class RegistryHive;
}

namespace tapi {

// The configuration of one line device: how long a dialled number may ring before the exchange
// gives up (used when the application does not set its own time-out).
class LineConfigDialog : public QDialog {
    Q_OBJECT
public:
    LineConfigDialog(platform::RegistryHive& hive, const QString& lineName, QWidget* parent = nullptr);

    void accept() override;

private:
    platform::RegistryHive& m_hive;
    QString m_lineName;
    QSpinBox* m_noAnswer = nullptr;
};

} // namespace tapi
