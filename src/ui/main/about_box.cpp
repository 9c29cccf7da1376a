#include "ui/main/about_box.h"

#include "res/images.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kProgramIcon = 128;
constexpr int kIconSize = 48;

} // namespace

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("About Kestrium"));
    auto* icon = new QLabel;
    icon->setPixmap(Images::Icon(kProgramIcon).pixmap(kIconSize, kIconSize));
    auto* text = new QLabel(tr(kText));
    text->setTextFormat(Qt::PlainText);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
