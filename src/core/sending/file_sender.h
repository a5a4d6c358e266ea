// Sending a text file as CW: the file stays open and is read a few lines
// ahead of the keying; each line is expanded (limited mode) and queued at
// level 2. One transfer at a time.
#pragma once

#include <memory>
#include <string>

#include "base/line_reader.h"
#include "core/sending/send_queue.h"
#include "core/sending/send_seams.h"

namespace orvex {

// Expands the macros of one file line.
class LineExpander {
 public:
  virtual ~LineExpander() = default;
  virtual Text ExpandLine(const Text& line) = 0;
};

class FileSender {
 public:
  FileSender(SendQueue& queue, Attention& attention, LineExpander& expander)
      : queue_(queue), attention_(attention), expander_(expander) {}

  // Opens path and starts sending it under the name shown; a file that
  // cannot be opened is told ("CW Start") and returned (chosen: the
  // operator picked it in the file dialog, so the words do not repeat its
  // name).
  Result Start(const std::string& path, const Text& shown, bool chosen);
  // Tops slot 2 up to 20 characters; a read error ends the file and is told.
  void ReadCWFile();
  // Closes the file being sent, if any.
  void EndCWFile();

  const Text& CWFileName() const { return name_; }
  // How far the file being sent has been read: "123 of 4,567 bytes", or
  // "123 bytes" when its size is not known; empty when none is being sent.
  Text Progress() const;

 private:
  SendQueue& queue_;
  Attention& attention_;
  LineExpander& expander_;
  Text name_;
  std::unique_ptr<LineReader> reader_;
  Text held_;  // a line the full queue refused, offered again next time
};

}  // namespace orvex
