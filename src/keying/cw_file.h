// Sending a text file as CW: the file stays open and is read a few lines
// ahead of the keying; each line is expanded (limited mode) and queued at
// level 2. One transfer at a time.
#pragma once

#include <deque>
#include <functional>
#include <memory>

#include "app/message_sink.h"
#include "keying/send_queue.h"
#include "keying/send_seams.h"
#include "keying/text_line_reader.h"

namespace orvex {

class CwFileSender {
 public:
  // expand: a line's macros in limited mode. stopCW: the program's Stop.
  CwFileSender(SendQueue& queue, MessageSink& sink, std::function<Text(const Text&)> expand,
               std::function<void()> stopCW, std::string programDir)
      : queue_(queue), sink_(sink), expand_(std::move(expand)), stopCW_(std::move(stopCW)),
        programDir_(std::move(programDir)) {}

  // Starts sending name, or with an empty name the file the operator picks
  // in chooser. A transfer already running is stopped only when the operator
  // says so.
  void SendCWFile(FileChooser* chooser, const Text& name);
  // Tops slot 2 up to 20 characters; false after a read error.
  bool ReadCWFile();
  // Closes the file being sent, if any.
  void EndCWFile();

  const Text& CWFileName() const { return name_; }

 private:
  SendQueue& queue_;
  MessageSink& sink_;
  std::function<Text(const Text&)> expand_;
  std::function<void()> stopCW_;
  std::string programDir_;
  Text name_;
  std::unique_ptr<TextLineReader> reader_;
  Text held_;  // a line the full queue refused, offered again next time
};

}  // namespace orvex
