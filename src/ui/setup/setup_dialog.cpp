#include "ui/setup/setup_dialog.h"

#include "res/images.h"

#include "settings/prompter.h"
#include "telephony/line_manager.h"
#include "ui/panels/fitting_scroll_area.h"
#include "ui/setup/address_book_page.h"
#include "ui/setup/general_page.h"
#include "ui/setup/telephony_page.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int kImageSize = 24;
constexpr int kPageGap = 4;

QString PageText(int page)
{
    switch (page) {
    case SetupDialog::kGeneralPage:
        return SetupDialog::tr("General");
    case SetupDialog::kCallRecordingPage:
        return SetupDialog::tr("Call recording");
    case SetupDialog::kVoiceMailPage:
        return SetupDialog::tr("Voice mail");
    case SetupDialog::kAddressBookPage:
        return SetupDialog::tr("Address book");
    default:
        return SetupDialog::tr("Telephony");
    }
}

// Stands in for a page whose factory was not given: it shows a note and stores nothing.
class PlaceholderPage : public SetupPage {
public:
    explicit PlaceholderPage(QWidget* parent)
        : SetupPage(parent)
    {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(SetupDialog::tr("This page is not available.")), 0, Qt::AlignCenter);
    }
    void StoreValues() override { }
};

std::unique_ptr<SetupPage> CreatePage(
    const SetupDialog::PageFactory& factory, SetupContext& context, QWidget* parent)
{
    if (factory)
        if (std::unique_ptr<SetupPage> page = factory(context, parent))
            return page;
    return std::make_unique<PlaceholderPage>(parent);
}

} // namespace

SetupDialog::SetupDialog(SetupContext& context, const PageFactory& recordingPageFactory,
    const PageFactory& voiceMailPageFactory, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
{
    setWindowTitle(tr("Kestrium Setup"));
    auto* body = new QHBoxLayout;
    body->setSpacing(kPageGap);
    body->addWidget(CreatePageList());
    body->addWidget(CreatePageArea(recordingPageFactory, voiceMailPageFactory), 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(CreateButtons());
    FitToScreen();
}

SetupDialog::~SetupDialog() = default;

QWidget* SetupDialog::CreatePageList()
{
    m_pageList = new QListWidget;
    m_pageList->setObjectName("pageList");
    m_pageList->setViewMode(QListView::ListMode);
    m_pageList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pageList->setIconSize(QSize(kImageSize, kImageSize));
    for (int page = 0; page < kPageCount; ++page)
        m_pageList->addItem(new QListWidgetItem(Images::SetupPage(page), PageText(page)));
    m_pageList->setCurrentRow(-1);
    m_pageList->setFixedWidth(m_pageList->sizeHintForColumn(0) + 4 * kPageGap);
    connect(m_pageList, &QListWidget::currentRowChanged, this, &SetupDialog::ShowPage);
    return m_pageList;
}

QWidget* SetupDialog::CreatePageArea(
    const PageFactory& recordingPageFactory, const PageFactory& voiceMailPageFactory)
{
    auto* area = new QWidget;
    m_title = new QLabel(PageText(kGeneralPage));
    m_title->setObjectName("pageTitle");
    m_title->setTextFormat(Qt::PlainText);
    // A band in the palette's alternate colours, readable in light and dark palettes alike.
    m_title->setAutoFillBackground(true);
    m_title->setBackgroundRole(QPalette::AlternateBase);
    m_title->setForegroundRole(QPalette::Text);
    m_title->setMargin(kPageGap);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_pageArea = new QStackedWidget;
    auto* scroller = new FittingScrollArea(m_pageArea);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title);
    layout->addWidget(scroller, 1);

    // In the order the pages are filled: the telephony page last, when the others are ready.
    AddPage(kGeneralPage, std::make_unique<GeneralPage>(m_context, nullptr));
    AddPage(kCallRecordingPage, CreatePage(recordingPageFactory, m_context, nullptr));
    AddPage(kVoiceMailPage, CreatePage(voiceMailPageFactory, m_context, nullptr));
    AddPage(kTelephonyPage, std::make_unique<TelephonyPage>(m_context, nullptr));
    AddPage(kAddressBookPage, std::make_unique<AddressBookPage>(m_context, nullptr));
    ShowPage(kGeneralPage);
    return area;
}

QWidget* SetupDialog::CreateButtons()
{
    auto* buttons = new QWidget;
    auto* save = new QPushButton(tr("&Save"));
    auto* cancel = new QPushButton(tr("Cancel"));
    save->setDefault(true);
    auto* layout = new QHBoxLayout(buttons);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    layout->addWidget(save);
    layout->addWidget(cancel);
    connect(save, &QPushButton::clicked, this, &SetupDialog::Save);
    connect(cancel, &QPushButton::clicked, this, &SetupDialog::reject);
    return buttons;
}

// The stacked widget takes ownership of the page.
void SetupDialog::AddPage(PageIndex index, std::unique_ptr<SetupPage> page)
{
    m_pages[index] = page.get();
    m_pageArea->insertWidget(index, page.release());
}

void SetupDialog::ShowPage(int index)
{
    if (index < 0 || index >= kPageCount)
        return;
    m_title->setText(m_pageList->item(index)->text());
    // Only the shown page counts for the size, so a short page does not scroll over empty room.
    for (int page = 0; page < kPageCount; ++page) {
        const QSizePolicy::Policy policy = page == index ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        m_pages[std::size_t(page)]->setSizePolicy(policy, policy);
    }
    m_pageArea->setCurrentIndex(index);
}

// The size the largest page asks for, within the screen: where that is too small the page scrolls.
void SetupDialog::FitToScreen()
{
    for (SetupPage* page : m_pages)
        page->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    QSize wanted = sizeHint();
    ShowPage(m_pageArea->currentIndex());
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QSize room = screen->availableGeometry().size();
        // A page that scrolls down has its scroll bar beside it, not over its controls.
        if (wanted.height() > room.height())
            wanted.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        wanted = wanted.boundedTo(room);
    }
    resize(wanted);
}

TelephonyPage& SetupDialog::Telephony() const
{
    return static_cast<TelephonyPage&>(Page(kTelephonyPage));
}

QString SetupDialog::PageTitle() const
{
    return m_title->text();
}

void SetupDialog::Save()
{
    Page(kVoiceMailPage).StopAudio();
    const bool linesChange = Telephony().LinesChanged();
    if (linesChange && !m_context.prompter.AskYesNo(tr(kLineChangeQuestion).toStdString(), "Kestrium"))
        return;
    if (linesChange)
        m_context.lines.CloseAllLines();
    Telephony().StoreValues();
    if (linesChange)
        m_context.lines.OpenAllLines();
    Page(kGeneralPage).StoreValues();
    Page(kCallRecordingPage).StoreValues();
    Page(kVoiceMailPage).StoreValues();
    Page(kAddressBookPage).StoreValues();
    accept();
}

void SetupDialog::reject()
{
    Page(kVoiceMailPage).StopAudio();
    QDialog::reject();
}
