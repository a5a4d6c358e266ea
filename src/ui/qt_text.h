// The one crossing between program text (Windows-1252 bytes) and QString.
#pragma once

#include <QString>

#include "base/text.h"

namespace orvex {

QString ToQString(std::string_view text);
// Characters outside Windows-1252 become '?'.
Text FromQString(const QString& text);
// For message boxes and labels: CRLF line breaks become plain newlines.
QString ToDisplayString(std::string_view text);

}  // namespace orvex
