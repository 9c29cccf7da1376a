#pragma once

#include <QIcon>
#include <QList>
#include <QStringList>

#include <string_view>

// Kestrium's own icon set, drawn as SVG and built into the program as Qt resources. The index
// tables are the image lists of the main window: the indices are what the windows store in their
// items, so they never change meaning. Every function answers a null icon for an index or a name
// it does not know. While the application's palette is dark the icons that stand on the window's
// background come in lighter tints.
namespace Images {

inline constexpr int kSmallCount = 30;
inline constexpr int kCallStateCount = 26;
inline constexpr int kCallTypeCount = 17;
inline constexpr int kSetupPageCount = 5;

// The 16 x 16 images of the tabs, tool bars, line buttons and contact tree ("Contacts" is 0,
// "STOP16" is 29).
QIcon Small(int index);

// The images of the calls tree on the keypad tab ("CALL_STATE_IDLE" is 0, "CALL_STATE_VM" is 25).
QIcon CallState(int index);
QList<QIcon> CallStateList();

// The images of the call-log and voice-mail lists: the call type code 0 to 3 (missed, incoming,
// outgoing, conference), plus 4 with a note, plus 8 with a recording; 16 is an unheard message.
QIcon CallType(int index);

// The images of the setup dialog's page list: general, call recording, voice mail, telephony.
QIcon SetupPage(int index);

// Icons by resource number: 128 the program, 261 search, 262 clear, 263 drop-down, 270 play,
// 271 pause, 272 stop, 273 delete, 274 back to start, 275 speaker, 276 handset, 277 record,
// 280 headset, 281 microphone.
QIcon Icon(int resourceId);

// Any image by its bitmap name ("DIAL16", "CALL_STATE_TALK", "KesCallUp", ...).
QIcon Named(std::string_view resourceName);

// Every bitmap name Named() knows, for tools and tests.
QStringList Names();

} // namespace Images
