#pragma once

#include <QString>

class LineManager;

// A SIP line's registration in words ("In service: registered", "Out of service: the registrar
// refused: 403 Forbidden"); empty for a slot without an open SIP line.
QString LineStateText(LineManager& lines, int slot);

// A tool tip that Qt shows as plain text, whatever it holds: a tool tip that looks like markup
// would otherwise be shown as rich text.
QString PlainToolTip(const QString& text);
