// The codes that act as commands inside queued text. Stored messages carry
// them after macro expansion (#PAUSE, #REPEAT, #FILE, #SPEED); the pump
// carries them out when it reaches them. 201 lies between them but is the
// letter É; 0x8D is a byte Windows-1252 leaves undefined.
#pragma once

namespace orvex {

enum QueueCode : unsigned char {
  kCodeKeyLineOn = 200,
  kCodeKeyLineOff = 202,
  kCodeNoticePitch = 203,  // sidetone at the raised pitch of local notices
  kCodeNormalPitch = 204,
  kCodePause = 205,   // the next character's code is the length in seconds
  kCodeRepeat = 206,  // slot 3 starts over with the last message
  kCodeFile = 207,    // a skipped character, the file name, its end
  // The message's own speed from here: then '=' and the speed, or '+' or
  // '-' and the change; '=' and 0 is back to the window's speed.
  kCodeSpeed = 0x8D,
  kCodeNext = 0x8F,  // the message was sent in full: the serial number moves on
};

inline bool IsQueueCode(unsigned char c) {
  return c == kCodeKeyLineOn || (c >= 202 && c <= 207) || c == kCodeSpeed || c == kCodeNext;
}

}  // namespace orvex
