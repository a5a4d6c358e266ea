// The guard: a small process that outlives the program and puts every
// keying device safe when the program ends in any way, SIGKILL and a crash
// included, which no handler of the program's own can catch.
//
// Started first thing (before any thread: it is a fork), it waits on its end
// of a socket pair and does nothing while the program lives. Each device the
// program opens is handed to it: a descriptor of the port (passed over the
// socket, so it stays open in the guard), or where to reach the radio. When
// the socket pair reaches its end (the program is gone, however it went),
// the guard does for each device what the emergency key-up does, and more,
// since it may take its time: lines down; a WinKeyer cleared, key and PTT
// up, host mode closed; the radio's keyer stopped and PTT off over a fresh
// CAT connection; the far keyer told abort and PTT off. Then it exits.
#pragma once

#include <string>

namespace orvex::engine::guard {

// What a device is, for what the guard does with it.
enum class Device : unsigned char {
  Serial = 1,    // DTR and RTS down
  Parallel = 2,  // the control byte with both lines up (upControl)
  Speaker = 3,   // the PC speaker silent
  WinKeyer = 4,  // buffer cleared, key and PTT up, host mode closed
  Rig = 5,       // detail: RigDetail(); no descriptor
  FarKeyer = 6,  // a connected UDP socket: abort and PTT off
};

// Forks the guard once; false (and the program goes on without one) when
// it cannot. Call before any thread starts. Without a call nothing is
// guarded (the unit tests).
bool Start();
bool Running();

// Hands the device to the guard; an id for Release, 0 when there is no
// guard. fd is duplicated into the guard (-1 for none).
int Watch(Device device, int fd, unsigned char upControl = 0, const std::string& detail = {});
// The guard lets go of the device (closes its copy) before this returns:
// a port closed here may be opened again at once.
void Release(int id);

// How the guard reaches a radio over CAT: its Hamlib model, port or
// host:port, baud rate, and whether PTT by CAT is the program's (only then
// is PTT switched off: another program of the station may be transmitting).
std::string RigDetail(int model, const std::string& port, int baud, bool ownsPtt);

// The radio's keyer stopped and, with ptt, PTT off at the rigctld at
// where (host:port), on a connection of its own: the program's may have
// been cut, or be in the middle of a command. Waits for the answers (a
// second at most each).
void RigctldSafe(const std::string& where, bool ptt);

}  // namespace orvex::engine::guard
