// Loggers keying through the window: the core's NetService on the event
// loop. Requests key through the send queue, so the operator's Esc stops a
// logger's text and typed text and messages keep their turn. While text or
// a reply waits, a timer services it as the keyer's next element ends:
// characters follow each other without waiting for the 100 ms tick, and
// replies go as their text ends. Loggers on this computer only.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "base/message_sink.h"
#include "core/net/net_service.h"

namespace orvex {

class NetLink : public QObject, private NetControl {
 public:
  NetLink(SendPath& send, Keyer& keyer, const EnvSettings& settings, MessageSink& sink,
          Attention& attention);
  ~NetLink() override;

  // Listens where the settings say now, or stops listening; a place that
  // cannot be listened on (another program has the port) shows its "CW
  // Setup" box. The same place again is left open.
  void Apply();

 private:
  void Close();
  void Service();

  bool Exit() override { return false; }                       // only the operator ends the window
  bool SetDevice(std::string_view) override { return false; }  // the port is CW Options' to set

  SendPath& send_;
  Keyer& keyer_;
  const EnvSettings& settings_;
  MessageSink& sink_;
  Attention& attention_;
  Text where_;
  std::unique_ptr<NetService> net_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer next_;  // the next service, as the keyer's next element ends
};

}  // namespace orvex
