#pragma once

#include "store/call_time.h"

#include <QString>

// The date and time of a call as the user's locale writes them (QLocale(): the system's locale
// unless the program set another), for the lists and dialogs only: the files keep their own form.
// In the C locale they are the short forms the call log always showed ("12/06/26", "14:05:09").
// Empty for a date that is not valid.
QString ShownDate(const CallTime& time);
QString ShownTime(const CallTime& time);
