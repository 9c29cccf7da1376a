#include "dialing_rules_dialog.h"
#include "line_config_dialog.h"
#include "line_settings.h"

#include "platform/registry.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <memory>

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "tapi_settings_dialogs_test";
    static char* argv[] = { name, nullptr };
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

class SettingsDialogs : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    testing_support::TempDir m_dir;
    platform::RegistryHive m_hive{ m_dir / "registry.reg" };
};

} // namespace

TEST_F(SettingsDialogs, DialingRulesShowTheDefaultLocationAndPreviewTheExample)
{
    tapi::DialingRulesDialog dialog(m_hive, "+1 (415) 555-0100");
    EXPECT_EQ(dialog.findChild<QSpinBox*>("countryCode")->value(), 1);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("areaCode")->text(), "212");
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("tone")->isChecked());
    EXPECT_EQ(dialog.DialsAsText(), "T14155550100");
    dialog.findChild<QLineEdit*>("areaCode")->setText("415");
    EXPECT_EQ(dialog.DialsAsText(), "T5550100") << "the preview follows the edits";
}

TEST_F(SettingsDialogs, OkStoresTheLocationAndCancelDoesNot)
{
    {
        tapi::DialingRulesDialog dialog(m_hive, "");
        dialog.findChild<QLineEdit*>("areaCode")->setText("617");
        dialog.reject();
    }
    EXPECT_EQ(tapi::DialingRules::Load(m_hive).areaCode, "212");
    tapi::DialingRulesDialog dialog(m_hive, "");
    dialog.findChild<QLineEdit*>("name")->setText("Boston office");
    dialog.findChild<QLineEdit*>("areaCode")->setText("617");
    dialog.findChild<QLineEdit*>("localAccess")->setText("9");
    dialog.findChild<QRadioButton*>("pulse")->setChecked(true);
    dialog.accept();
    const tapi::Location stored = tapi::DialingRules::Load(m_hive);
    EXPECT_EQ(stored.name, "Boston office");
    EXPECT_EQ(stored.areaCode, "617");
    EXPECT_EQ(stored.localAccess, "9");
    EXPECT_FALSE(stored.toneDialing);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(SettingsDialogs, AreaCodeFieldRefusesAnythingButDigits)
{
    tapi::DialingRulesDialog dialog(m_hive, "");
    auto* area = dialog.findChild<QLineEdit*>("areaCode");
    area->clear();
    area->insert("2a1<b>2");
    EXPECT_EQ(area->text(), "");
    area->insert("415");
    EXPECT_EQ(area->text(), "415");
}

TEST_F(SettingsDialogs, LineConfigurationStoresTheNoAnswerTimeOut)
{
    tapi::LineConfigDialog dialog(m_hive, "Zo-Linka Line 2");
    auto* seconds = dialog.findChild<QSpinBox*>("noAnswerSeconds");
    EXPECT_EQ(seconds->value(), 60);
    seconds->setValue(1000);
    EXPECT_EQ(seconds->value(), 300);
    seconds->setValue(25);
    dialog.accept();
    EXPECT_EQ(tapi::LineSettings::NoAnswerSeconds(m_hive, "Zo-Linka Line 2"), 25u);
    EXPECT_EQ(tapi::LineSettings::NoAnswerSeconds(m_hive, "Zo-Linka Line 1"), 60u);
}
