#include "ui/setup/format_chooser_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace {

QString ToQString(const std::string& text)
{
    return QString::fromStdString(text);
}

// The audio layer names the chooser in English; a title it is known to pass is translated here.
QString TranslatedTitle(const std::string& title)
{
    static constexpr const char* kKnownTitles[]
        = { QT_TRANSLATE_NOOP("FormatChooserDialog", "Select Audio Format") };
    for (const char* known : kKnownTitles)
        if (title == known)
            return FormatChooserDialog::tr(known);
    return ToQString(title);
}

int ShowChooser(
    const std::vector<AcmFormatChoice>& choices, int initial, const std::string& title, void* owner)
{
    FormatChooserDialog dialog(choices, initial, TranslatedTitle(title), static_cast<QWidget*>(owner));
    return dialog.exec() == QDialog::Accepted ? dialog.ChosenIndex() : -1;
}

} // namespace

FormatChooserDialog::FormatChooserDialog(
    const std::vector<AcmFormatChoice>& choices, int initial, const QString& title, QWidget* parent)
    : QDialog(parent)
    , m_choices(choices)
    , m_tags(new QComboBox(this))
    , m_formats(new QComboBox(this))
{
    setWindowTitle(title);
    for (const AcmFormatChoice& choice : choices)
        if (m_tags->findText(ToQString(choice.formatTag), Qt::MatchExactly) < 0)
            m_tags->addItem(ToQString(choice.formatTag));
    auto* form = new QFormLayout;
    form->addRow(tr("Format:"), m_tags);
    form->addRow(tr("Attributes:"), m_formats);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tags, &QComboBox::currentTextChanged, this, &FormatChooserDialog::FillFormats);

    const bool known = initial >= 0 && std::size_t(initial) < choices.size();
    const QString tag = known ? ToQString(choices[std::size_t(initial)].formatTag) : m_tags->itemText(0);
    m_tags->setCurrentIndex(m_tags->findText(tag, Qt::MatchExactly));
    FillFormats(tag);
    if (known)
        m_formats->setCurrentIndex(m_formats->findData(initial));
}

// The formats of one tag; each item keeps its index in the offered list.
void FormatChooserDialog::FillFormats(const QString& tag)
{
    m_formats->clear();
    for (std::size_t i = 0; i < m_choices.size(); ++i)
        if (ToQString(m_choices[i].formatTag) == tag)
            m_formats->addItem(ToQString(m_choices[i].format), int(i));
}

int FormatChooserDialog::ChosenIndex() const
{
    return m_formats->currentIndex() < 0 ? -1 : m_formats->currentData().toInt();
}

ScopedFormatChooser::ScopedFormatChooser()
{
    acmSetFormatChooser(ShowChooser);
}

ScopedFormatChooser::~ScopedFormatChooser()
{
    acmSetFormatChooser(nullptr);
}
