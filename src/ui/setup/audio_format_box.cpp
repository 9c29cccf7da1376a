#include "ui/setup/audio_format_box.h"

#include "audio/wave_recorder.h"
#include "ui/setup/format_chooser_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

#include <array>

namespace {

// The description buffer of GetFormatDescription.
constexpr std::uint32_t kDescriptionBytes = 200;

} // namespace

AudioFormatBox::AudioFormatBox(WaveRecorder& engine, QWidget* parent)
    : QGroupBox(tr("Audio format:"), parent)
    , m_engine(engine)
    , m_text(new QLineEdit(this))
    , m_compression(new QCheckBox(tr("Compress recorded audio to save disk space"), this))
{
    m_text->setObjectName("formatText");
    m_text->setReadOnly(true);
    m_text->setAccessibleName(tr("Audio format"));
    m_text->setMaxLength(kMaxTextLength);
    m_compression->setObjectName("compression");
    auto* select = new QPushButton(tr("Select..."), this);
    select->setObjectName("selectFormat");
    auto* layout = new QGridLayout(this);
    layout->addWidget(m_text, 0, 0);
    layout->addWidget(select, 0, 1);
    layout->addWidget(m_compression, 1, 0, 1, 2);
    connect(select, &QPushButton::clicked, this, &AudioFormatBox::SelectFormat);
    connect(m_compression, &QCheckBox::clicked, this, [this](bool checked) {
        if (m_partner)
            m_partner->m_compression->setChecked(checked);
    });
}

AudioFormatBox::~AudioFormatBox()
{
    if (m_partner)
        m_partner->m_partner = nullptr;
}

void AudioFormatBox::Fill(const std::string& format, bool compression)
{
    ShowFormat(format);
    m_compression->setChecked(compression);
}

void AudioFormatBox::ShowFormat(const std::string& format)
{
    m_text->setText(" " + QString::fromStdString(format));
}

std::string AudioFormatBox::FormatText() const
{
    const QString text = m_text->text();
    return (text.startsWith(' ') ? text.mid(1) : text).toStdString();
}

bool AudioFormatBox::Compression() const
{
    return m_compression->isChecked();
}

void AudioFormatBox::ApplyToEngine()
{
    m_engine.FindFormat(FormatText().c_str());
    m_engine.SetCompression(Compression() ? 1 : 0);
}

void AudioFormatBox::SelectFormat()
{
    const ScopedFormatChooser chooser;
    if (!m_engine.ChooseFormat(static_cast<QWidget*>(this)).Ok())
        return;
    std::array<char, kDescriptionBytes> description{};
    m_engine.GetFormatDescription(description.data(), kDescriptionBytes);
    ShowFormat(description.data());
    if (m_partner)
        m_partner->ShowFormat(description.data());
}
