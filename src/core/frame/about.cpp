#include "core/frame/about.h"

#include "core/config/env_settings.h"

namespace orvex {

Text AboutText() {
  const Text nl(CRLF);
  return "Orvex Version " + Text(kProgramVersion) + "  -  09/01/00" + nl + nl +
         "Orvex is a subset of Pelorin that provides most of the CW features of the Pelorin "
         "packet window.  Check the Pelorin help file sections 'Using the Packet Window - CW "
         "Features' and 'Input Editing'.  " +
         nl + "Here's how Orvex differs from Pelorin:" + nl + nl +
         "1) You're always in 'pileup mode', this means you can send messages 2-8 using the "
         "function keys (no control key needed) and Esc stops CW in progress." +
         nl + nl + "2) The home/end keys go to the start/end of the line." + nl + nl +
         "3) F11 is a shortcut for 'Set #Him'." + nl + nl +
         "4) Ctrl-F11 is a shortcut for 'Set #Me'." + nl + nl +
         "The Orvex project - a CW sender for Linux, made by radio amateurs for radio amateurs";
}

void ShowAbout(MessageSink& sink) {
  sink.Information("About Orvex", AboutText());
}

}  // namespace orvex
