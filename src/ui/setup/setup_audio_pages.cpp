#include "ui/setup/setup_audio_pages.h"

#include "ui/setup/call_recording_page.h"
#include "ui/setup/voice_mail_page.h"

#include <QPointer>

namespace {

// The latest page of each kind that a factory pair made; a new page is linked with the other one.
struct AudioPagePair {
    QPointer<CallRecordingPage> callRecording;
    QPointer<VoiceMailPage> voiceMail;
};

template <typename Page, typename Other>
std::unique_ptr<SetupPage> MakeLinkedPage(
    SetupContext& context, QWidget* parent, QPointer<Page>& own, const QPointer<Other>& other)
{
    auto page = std::make_unique<Page>(context, parent);
    own = page.get();
    if (other)
        page->SetPartner(*other);
    return page;
}

} // namespace

SetupAudioPageFactories MakeSetupAudioPages()
{
    auto pair = std::make_shared<AudioPagePair>();
    return {
        [pair](SetupContext& context, QWidget* parent) {
            return MakeLinkedPage(context, parent, pair->callRecording, pair->voiceMail);
        },
        [pair](SetupContext& context, QWidget* parent) {
            return MakeLinkedPage(context, parent, pair->voiceMail, pair->callRecording);
        },
    };
}
