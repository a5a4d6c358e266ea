#include "ui/qt_text.h"

namespace orvex {

QString ToQString(std::string_view text) {
  const std::string utf8 = Cp1252ToUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text FromQString(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp1252(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString ToDisplayString(std::string_view text) {
  return ToQString(ReplaceAll(text, CRLF, "\n"));
}

}  // namespace orvex
