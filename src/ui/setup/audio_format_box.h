#pragma once

#include <QCoreApplication>
#include <QGroupBox>

#include <string>

class QCheckBox;
class QLineEdit;
class WaveRecorder;

// The "Audio format:" group of a setup page: the recording format's text (shown after a blank),
// "Select..." with the format chooser, and the compression box. Both pages show the same setting,
// so every change is mirrored to the partner page's group.
class AudioFormatBox : public QGroupBox {
    Q_DECLARE_TR_FUNCTIONS(AudioFormatBox)

public:
    // The stored text is read into 200 bytes.
    static constexpr int kMaxTextLength = 199;

    AudioFormatBox(WaveRecorder& engine, QWidget* parent);
    ~AudioFormatBox() override;

    void SetPartner(AudioFormatBox* partner) { m_partner = partner; }
    void Fill(const std::string& format, bool compression);

    // The format text without its leading blank.
    std::string FormatText() const;
    bool Compression() const;
    // Gives the engine this group's format and compression switch (before a test recording).
    void ApplyToEngine();
    // "Select..." pressed.
    void SelectFormat();

private:
    void ShowFormat(const std::string& format);

    WaveRecorder& m_engine;
    AudioFormatBox* m_partner = nullptr;
    QLineEdit* m_text;
    QCheckBox* m_compression;
};
