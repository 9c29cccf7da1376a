#include "command_help.h"

namespace tapi {

const char* const kControlCommandHelp
    = "Commands (LINE is a line number from 1, as \"list\" shows them):\n"
      "  list                                   lines (a SIP line with its registration), calls, handsets\n"
      "  ring LINE [NUMBER [NAME]] [--blocked] [--out-of-area] [--give-up RINGS] [--hang-up-after SECONDS]\n"
      "       [--disconnects]\n"
      "                                         a call arrives on LINE with that caller id; with\n"
      "                                         --disconnects its cancel comes as DISCONNECTED\n"
      "  ring LINE ... (while a call is up)     a second caller: the call waits (call-waiting tone)\n"
      "  hangup LINE [CALL]                     the far end hangs up the call on LINE (CALL: its\n"
      "                                         number in \"list\"; default the current call)\n"
      "  hold LINE [CALL]                       the far end puts the call on hold\n"
      "  unhold LINE [CALL]                     the far end takes the call back\n"
      "  transfer LINE [CALL] NUMBER            the far end transfers the call to NUMBER; the dial\n"
      "                                         plan decides whether that party answers\n"
      "  answer LINE                            the far end answers the call dialled on LINE\n"
      "  refuse LINE                            the far end refuses the call dialled on LINE\n"
      "  play LINE FILE.wav                     the far end plays a WAVE file into the call\n"
      "  play LINE --tone HZ [DBM0]             the far end sends a tone\n"
      "  play LINE --call CALL --tone HZ [DBM0] that call's own far end sends a tone (a second party)\n"
      "  play LINE --silence                    the far end is silent\n"
      "  handset LINE up|down                   lift or put down the handset of LINE's phone\n"
      "  heard LINE                             what the far end heard: audio, detected digits, tones\n"
      "  clear LINE                             forget what the far end heard\n"
      "  dialplan                               show the dial plan\n"
      "  dialplan clear                         remove every rule (every number is answered)\n"
      "  dialplan add PATTERN OUTCOME [DELAY_MS [HANG_UP_AFTER_MS]]\n"
      "                                         OUTCOME: answer busy noanswer badaddress reject manual\n"
      "  reload                                 apply the configuration file's SIP accounts and ring "
      "periods\n"
      "  request NUMBER [APP [NAME [COMMENT]]]  another application asks to dial NUMBER\n"
      "  help                                   this text\n";

} // namespace tapi
