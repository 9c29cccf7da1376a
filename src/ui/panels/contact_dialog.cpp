#include "ui/panels/contact_dialog.h"

#include "settings/prompter.h"
#include "store/contact_store.h"
#include "store/speed_dial_store.h"
#include "store/text_limit.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr std::array kNameFields = { ContactField::FirstName, ContactField::MiddleName,
    ContactField::LastName, ContactField::Title, ContactField::Company };
constexpr std::array kAddressFields = { ContactField::Street, ContactField::Street2, ContactField::City,
    ContactField::State, ContactField::Zip, ContactField::Country };

std::string Limited(const QString& text)
{
    return std::string(CutToLimit(text.toStdString(), ContactDialog::kTextLimit));
}

} // namespace

ContactDialog::ContactDialog(ContactStore& contacts, SpeedDialStore& speedDials,
    std::filesystem::path speedDialFile, Prompter& prompter, QWidget* parent)
    : QDialog(parent)
    , m_contacts(contacts)
    , m_speedDials(speedDials)
    , m_speedDialFile(std::move(speedDialFile))
    , m_prompter(prompter)
{
    setWindowTitle(tr("Contact:"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ContactDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ContactDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateNamesBox());
    layout->addWidget(CreateNumbersBox());
    layout->addWidget(CreateAddressBox());
    layout->addWidget(buttons);
    Assign(ContactRecord());
}

QLineEdit* ContactDialog::CreateEdit(ContactField field)
{
    auto* edit = new QLineEdit;
    edit->setMaxLength(int(kTextLimit));
    m_edits[std::size_t(field)] = edit;
    return edit;
}

QWidget* ContactDialog::CreateNamesBox()
{
    auto* box = new QWidget;
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    m_group = new QComboBox;
    form->addRow(tr("Group:"), m_group);
    const std::array<const char*, kNameFields.size()> captions = { QT_TR_NOOP("Name:"), QT_TR_NOOP("Middle:"),
        QT_TR_NOOP("Last:"), QT_TR_NOOP("Title:"), QT_TR_NOOP("Company:") };
    for (std::size_t i = 0; i < kNameFields.size(); ++i)
        form->addRow(tr(captions[i]), CreateEdit(kNameFields[i]));
    m_speedDialButton = new QPushButton(tr("Add to speed-dial..."));
    connect(m_speedDialButton, &QPushButton::clicked, this, &ContactDialog::OpenSpeedDialMenu);
    form->addRow(QString(), m_speedDialButton);
    return box;
}

// Slots 1 to 5 on the left, 6 to 10 on the right; each row a default button, the label and the
// number.
QWidget* ContactDialog::CreateNumbersBox()
{
    auto* box = new QGroupBox(tr("Numbers:"));
    auto* grid = new QGridLayout(box);
    m_defaults = new QButtonGroup(this);
    constexpr int kRows = ContactRecord::kNumberCount / 2;
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        auto* button = new QRadioButton;
        auto* label = new QComboBox;
        auto* number = new QLineEdit;
        for (int index = 0; index < PhoneLabelStore::kLabelCount; ++index)
            label->addItem(QString::fromStdString(std::string(m_contacts.Labels().GetLabel(index))));
        number->setMaxLength(int(kTextLimit));
        m_defaults->addButton(button, slot);
        m_labels[std::size_t(slot)] = label;
        m_numbers[std::size_t(slot)] = number;
        const int column = slot / kRows * 3;
        grid->addWidget(button, slot % kRows, column);
        grid->addWidget(label, slot % kRows, column + 1);
        grid->addWidget(number, slot % kRows, column + 2);
    }
    return box;
}

QWidget* ContactDialog::CreateAddressBox()
{
    auto* box = new QWidget;
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    const std::array<const char*, kAddressFields.size()> captions = { QT_TR_NOOP("Street:"), "",
        QT_TR_NOOP("City:"), QT_TR_NOOP("State:"), QT_TR_NOOP("ZIP:"), QT_TR_NOOP("Country:") };
    for (std::size_t i = 0; i < kAddressFields.size(); ++i)
        form->addRow(*captions[i] ? tr(captions[i]) : QString(), CreateEdit(kAddressFields[i]));
    m_note = new QPlainTextEdit;
    m_note->setTabChangesFocus(true);
    m_note->setFixedHeight(m_note->fontMetrics().lineSpacing() * 4);
    form->addRow(tr("Note:"), m_note);
    return box;
}

void ContactDialog::Assign(const ContactRecord& record)
{
    m_record.Assign(record);
    const std::vector<std::string> groups = m_contacts.Groups().ComboItems(false);
    m_group->clear();
    for (const std::string& group : groups)
        m_group->addItem(QString::fromStdString(group));
    m_group->setCurrentIndex(GroupStore::ComboSelection(groups, record.Group()));
    for (ContactField field : kNameFields)
        Edit(field)->setText(QString::fromUtf8(record.Text(field)));
    for (ContactField field : kAddressFields)
        Edit(field)->setText(QString::fromUtf8(record.Text(field)));
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        NumberEdit(slot)->setText(QString::fromUtf8(record.Number(slot)));
        LabelBox(slot)->setCurrentIndex(record.LabelIndex(slot));
    }
    // A default index outside the ten slots leaves every button unset.
    m_defaults->setExclusive(false);
    for (QAbstractButton* button : m_defaults->buttons())
        button->setChecked(m_defaults->id(button) == record.DefaultNumberIndex());
    m_defaults->setExclusive(true);
    m_note->setPlainText(QString::fromUtf8(record.Note()));
}

std::string ContactDialog::Text(ContactField field) const
{
    return Limited(Edit(field)->text());
}

bool ContactDialog::CheckInput(ContactRecord& record)
{
    bool named = false;
    for (ContactField field : kNameFields) {
        record.SetText(field, Text(field));
        named = named || !record.Text(field).empty();
    }
    if (!named) {
        m_prompter.ShowMessage(
            tr("Record has no name, title or company.").toStdString(), kCaption, Prompter::Icon::None);
        return false;
    }
    const int slot = m_defaults->checkedId();
    if (slot < 0) {
        m_prompter.ShowMessage(
            tr("Please select a default phone field.").toStdString(), kCaption, Prompter::Icon::None);
        return false;
    }
    if (NumberEdit(slot)->text().isEmpty()) {
        m_prompter.ShowMessage(tr("Selected default phone field can not be empty.").toStdString(), kCaption,
            Prompter::Icon::None);
        return false;
    }
    return true;
}

// Without a group chosen (the record's group missing from the list) the record keeps its group.
void ContactDialog::ReadDetails(ContactRecord& record, int defaultSlot)
{
    record.SetDefaultNumberIndex(defaultSlot);
    const std::string group
        = m_group->currentIndex() >= 0 ? Limited(m_group->currentText()) : std::string(record.Group());
    record.SetGroup(group, m_contacts.Groups());
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        record.SetNumber(slot, Limited(NumberEdit(slot)->text()));
        if (LabelBox(slot)->currentIndex() >= 0)
            record.SetLabelIndex(slot, LabelBox(slot)->currentIndex());
    }
    for (ContactField field : kAddressFields)
        record.SetText(field, Text(field));
    record.SetNote(Limited(m_note->toPlainText()));
    record.ComposeDisplayName(&m_contacts.Labels());
}

bool ContactDialog::CollectContact(ContactRecord& record)
{
    if (!CheckInput(record))
        return false;
    ReadDetails(record, m_defaults->checkedId());
    return true;
}

void ContactDialog::accept()
{
    if (CollectContact(m_record))
        QDialog::accept();
}

void ContactDialog::AddToSpeedDial(int slot)
{
    ContactRecord record;
    if (!CollectContact(record))
        return;
    m_speedDials.SetSlot(slot, record);
    m_speedDials.Save(m_speedDialFile);
    m_prompter.ShowMessage(tr("Record added to speed-dial").toStdString(), kCaption, Prompter::Icon::None);
}

QMenu* ContactDialog::CreateSpeedDialMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    for (int slot = 0; slot < SpeedDialStore::kSlotCount; ++slot)
        menu->addAction(
            tr("Add to speed-dial %1").arg(slot + 1), this, [this, slot] { AddToSpeedDial(slot); });
    return menu;
}

// The menu opens with its right edge at the button's right edge and its top at the button's top.
void ContactDialog::OpenSpeedDialMenu()
{
    QMenu* menu = CreateSpeedDialMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint topRight = m_speedDialButton->mapToGlobal(QPoint(m_speedDialButton->width(), 0));
    menu->popup(QPoint(topRight.x() - menu->sizeHint().width(), topRight.y()));
}

bool ContactDialog::Run(ContactRecord& record, ContactStore& contacts, SpeedDialStore& speedDials,
    const std::filesystem::path& speedDialFile, Prompter& prompter, QWidget* parent)
{
    ContactDialog dialog(contacts, speedDials, speedDialFile, prompter, parent);
    dialog.Assign(record);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    record.Assign(dialog.Record());
    return true;
}
