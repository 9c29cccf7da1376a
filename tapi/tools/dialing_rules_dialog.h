#pragma once

#include "dialing_rules.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace platform {
class RegistryHive;
}

namespace tapi {

// "Dialing Rules": the calling location that canonical numbers are translated for. Shows how an
// example number is dialled from the location while the user edits it; OK stores the location.
class DialingRulesDialog : public QDialog {
    Q_OBJECT
public:
    DialingRulesDialog(
        platform::RegistryHive& hive, const QString& exampleAddress, QWidget* parent = nullptr);

    Location CurrentLocation() const;
    QString DialsAsText() const;

    void accept() override;

private:
    void SetupFields();
    void SetupButtons();
    void ShowLocation(const Location& location);
    void UpdatePreview();

    platform::RegistryHive& m_hive;
    QString m_example;
    QLineEdit* m_name = nullptr;
    QSpinBox* m_country = nullptr;
    QLineEdit* m_area = nullptr;
    QLineEdit* m_localAccess = nullptr;
    QLineEdit* m_longDistanceAccess = nullptr;
    QLineEdit* m_nationalPrefix = nullptr;
    QLineEdit* m_internationalPrefix = nullptr;
    QRadioButton* m_tone = nullptr;
    QRadioButton* m_pulse = nullptr;
    QLabel* m_preview = nullptr;
};

} // namespace tapi
