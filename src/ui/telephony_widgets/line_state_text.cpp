#include "ui/telephony_widgets/line_state_text.h"

#include "telephony/line_manager.h"

#include <QCoreApplication>

QString LineStateText(LineManager& lines, int slot)
{
    LineManager::ServiceState state;
    if (!lines.GetServiceState(slot, state))
        return {};
    const QString text = QString::fromStdString(state.text);
    return state.inService ? QCoreApplication::translate("LineState", "In service: %1").arg(text)
                           : QCoreApplication::translate("LineState", "Out of service: %1").arg(text);
}

QString PlainToolTip(const QString& text)
{
    return "<p style='white-space:pre'>" + text.toHtmlEscaped().replace('\n', "<br>") + "</p>";
}
