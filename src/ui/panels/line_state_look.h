#pragma once

#include "telephony/colleague_lines.h"

#include <QIcon>
#include <QString>

// How a colleague's line state looks in the contacts tab and on the speed-dial buttons: a round
// mark (green idle, amber ringing, red in a call) and its words. Unknown has neither.
QIcon LineStateIcon(ColleagueLines::State state);
QString LineStateText(ColleagueLines::State state);
