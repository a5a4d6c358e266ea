// PktForm: the packet window, Orvex's main window. It turns Qt events into
// calls on the line editor and the packet commands and paints what they
// hold; the sending itself lives in the core.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>

#include "app/shutdown.h"
#include "config/env_settings.h"
#include "packet/line_editor.h"

class QAction;
class QMenu;

namespace orvex {

class InBox;
class PacketCommands;

// Pane metrics in twips, measured once when the window opens.
struct PaneMetrics {
  int LineHeight = 0;
  int SpaceWidth = 0;
  int LineColumns = 0;
};

// The packet font as the settings hold it.
struct FontSpec {
  Text Name;
  float Size = 9;
  bool Bold = false, Italic = false, Underline = false, Strikethru = false;
  Text MenuName = "'Options/TNC, Messages, History, ...'";
};

class PktForm : public QMainWindow, public PacketWindowView {
  Q_OBJECT
 public:
  PktForm();

  // Wires the menus and keys to the commands; called once before showing.
  void SetCommands(PacketCommands* commands, std::function<void(int)> help);
  LineEditor& Editor() { return editor_; }
  InBox* Pane() const { return inBox_; }
  QWidget* OutPane() const { return outBox_; }
  QTimer& CursorTimer() { return cursorTimer_; }
  // Runs each CursorTimer tick after the caret blink: file, pump, idle.
  void SetTickHandler(std::function<void()> tick) { tick_ = std::move(tick); }

  void RestorePlacement(const EnvSettings& settings);
  void ShowRestored();
  // Colour kind 3 foreground, 4 background (red + 256 green + 65536 blue).
  void SetPacketColor(int kind, int32_t colour);
  // Applies the font to both panes; false with the "Set Font" box shown.
  bool ApplyFont(const FontSpec& wanted, MessageSink& sink);
  // Measures the pane and sizes it to 1.2 lines.
  PaneMetrics Measure();
  void SetMessageCaption(int n, const Text& caption);
  QAction* MessageAction(int n) const { return messages_.at(static_cast<size_t>(n - 1)); }

  void SetExitHandler(std::function<void()> handler) { exitHandler_ = std::move(handler); }

  WindowState State() const override;
  TwipsRect PlacementTwips() const override;
  void CloseWindow() override { close(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  QAction* Add(QMenu* menu, const char* name, const char* caption, int helpContext,
               QKeySequence shortcut = {});

  LineEditor editor_;
  InBox* inBox_;
  QWidget* outBox_;
  QTimer cursorTimer_;
  std::array<QAction*, 8> messages_{};
  PacketCommands* commands_ = nullptr;
  std::function<void(int)> help_;
  std::function<void()> tick_;
  std::function<void()> exitHandler_;
  bool maximize_ = false;
};

// The family Qt will really use for name: fonts the system lacks (FixedSys
// among them) become the system's fixed-pitch font.
QString AvailableFontFamily(const QString& name);

}  // namespace orvex
