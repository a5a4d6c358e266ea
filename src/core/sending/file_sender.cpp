#include "core/sending/file_sender.h"

#include <algorithm>

#include "base/message.h"
#include "base/numbers.h"
#include "core/macros/queue_codes.h"

namespace orvex {

Result FileSender::Start(const std::string& path, const Text& shown, bool chosen) {
  std::unique_ptr<LineReader> reader;
  if (const Result opened = LineReader::Open(path, &reader); !opened.ok()) {
    const Result told = opened.Told(FormatMessage(
        chosen ? Text("Can't start CW file") : "Can't send file '" + shown + "' as CW", opened));
    attention_.Failed("CW Start", told);
    return told;
  }
  reader_ = std::move(reader);
  held_.clear();
  name_ = shown;
  ReadCWFile();
  return {};
}

Text FileSender::Progress() const {
  if (name_.empty() || !reader_) return {};
  const long long done = reader_->Position(), size = reader_->Size();
  return size >= 0 ? GroupedNumber(done) + " of " + GroupedNumber(size) + " bytes"
                   : GroupedNumber(done) + " bytes";
}

void FileSender::ReadCWFile() {
  while (!name_.empty() && queue_.SlotText(Slot::File).size() < 20) {
    if (held_.empty()) {
      Text piece;
      bool lineEnd = false, end = false;
      const Result read = reader_->Next(&piece, &lineEnd, &end);
      if (read.failed()) {
        const Text name = name_;
        EndCWFile();
        attention_.Failed("Send CW File",
                          read.Told(FormatMessage("Can't read file " + name, read)));
        return;
      }
      if (end) {
        EndCWFile();
        return;
      }
      // In a UTF-8 file È and Ê to Ï are letters someone wrote ("CAFÊ"),
      // not the queue's commands that a Windows-1252 file may carry on
      // purpose; they have no Morse, so they are left out.
      if (reader_->LastPieceUtf8())
        piece.erase(
            std::remove_if(piece.begin(), piece.end(),
                           [](char c) { return IsQueueCode(static_cast<unsigned char>(c)); }),
            piece.end());
      held_ = expander_.ExpandLine(piece);
      if (lineEnd) held_ += CRLF;
    }
    // A full queue refuses the line whole; it waits here, nothing is lost.
    if (!queue_.QueueCW(held_, Slot::File)) return;
    held_.clear();
  }
}

void FileSender::EndCWFile() {
  if (name_.empty()) return;
  reader_.reset();
  held_.clear();
  name_.clear();
}

}  // namespace orvex
