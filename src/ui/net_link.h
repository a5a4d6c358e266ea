// Loggers keying through the window: the UDP socket the settings name,
// watched by the event loop. Requests go to the NetKeyer (core), which
// keys through the send queue, so the operator's Esc stops a logger's text
// and typed text and messages keep their turn. While text or a reply
// waits, a 1 ms timer pumps and polls: characters follow each other
// without waiting for the 100 ms tick, and replies go as their text ends.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "base/message_sink.h"
#include "core/net/net_keyer.h"
#include "core/net/udp_listener.h"
#include "core/sending/send_path.h"

namespace orvex {

class NetLink : public QObject, private NetControl {
 public:
  NetLink(SendPath& send, Keyer& keyer, const EnvSettings& settings, MessageSink& sink);
  ~NetLink() override;

  // Listens where the settings say now, or stops listening; a place that
  // cannot be listened on (another program has the port) shows its "CW
  // Setup" box. The same place again is left open.
  void Apply();
  bool Listening() const { return socket_ != nullptr; }

 private:
  void Close();
  void Read();
  void Service();

  void Stop() override { send_.Stop(); }
  void Tune(int seconds) override { send_.Tune(seconds); }
  bool Exit() override { return false; }                       // only the operator ends the window
  bool SetDevice(std::string_view) override { return false; }  // the port is CW Options' to set

  SendPath& send_;
  Keyer& keyer_;
  const EnvSettings& settings_;
  MessageSink& sink_;
  Text where_;
  std::unique_ptr<UdpListener> socket_;
  std::unique_ptr<NetKeyer> net_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer fast_;
};

}  // namespace orvex
