// PktForm: the main window. It turns Qt events into calls on the line editor
// and the window commands and paints what they hold; the sending itself
// lives in the core. Around the type-ahead line: the echo of what is sent
// above it, the eight message buttons below, and a status bar with the TX
// lamp, the port, the sidetone, a file being sent and the speed.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>

#include "core/config/env_settings.h"
#include "core/frame/line_editor.h"
#include "core/frame/menu_captions.h"
#include "core/frame/open_window.h"
#include "core/frame/sent_echo.h"
#include "core/frame/shutdown.h"
#include "core/frame/window_commands.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;

namespace orvex {

class EchoBox;
class InBox;

// Pane metrics in twips, measured once when the window opens.
struct PaneMetrics {
  int LineHeight = 0;
  int SpaceWidth = 0;
  int LineColumns = 0;
};

class PktForm : public QMainWindow,
                public PacketWindowView,
                public PacketWindowSetup,
                public CaptionListener {
  Q_OBJECT
 public:
  PktForm(LineEditor& editor, WindowCommands& commands, SentEcho& echo);
  ~PktForm() override { editor_.SetView(nullptr); }

  InBox* Pane() const { return inBox_; }

  void RestorePlacement(const EnvSettings& settings) override;
  void ShowWindow() override;
  void SetPacketColor(int kind, int32_t colour) override;
  // Both panes take the font (FixedSys and unknown families: the system's
  // fixed font).
  void ApplyFont(const FontSpec& wanted) override;
  void Measure() override { Metrics(); }
  PaneMetrics Metrics();
  void CaptionChanged(int n, const Text& caption) override;
  QPushButton* MessageButton(int n) const { return buttons_.at(static_cast<size_t>(n - 1)); }
  EchoBox* Echo() const { return echoBox_; }
  QLabel* TxLamp() const { return txLamp_; }
  QSpinBox* SpeedBox() const { return speed_; }
  // Follows the keying closely (the echo, the TX lamp) until it is done.
  void FollowKeying();
  // Brings the status bar and the echo up to date.
  void RefreshStatus();

  WindowState State() const override;
  TwipsRect PlacementTwips() const override;
  void CloseWindow() override { close(); }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildStatusBar();
  QWidget* BuildButtons(QWidget* parent);
  // The strip that says nothing is keyed and offers to try the port again.
  QWidget* BuildNotKeying(QWidget* parent);
  QAction* Add(QMenu* menu, const char* name, const char* caption, int helpContext, Command command,
               int message = 0);

  LineEditor& editor_;
  WindowCommands& commands_;
  SentEcho& echo_;
  EchoBox* echoBox_;
  InBox* inBox_;
  QTimer cursorTimer_;
  QTimer statusTimer_;  // the status bar, ten times a second
  QTimer followTimer_;  // the echo and the lamp while keying
  std::array<QPushButton*, 8> buttons_{};
  QLabel* txLamp_ = nullptr;
  QLabel* port_ = nullptr;
  QLabel* sidetone_ = nullptr;
  QLabel* file_ = nullptr;
  QWidget* notKeying_ = nullptr;
  QLabel* notKeyingText_ = nullptr;
  QLabel* nr_ = nullptr;
  QSpinBox* speed_ = nullptr;
  std::array<QAction*, 8> messages_{};
  std::array<unsigned long, 32> released_{};  // when each function key was last let go
  bool maximize_ = false;
};

// The font the panes use for name: one the system lacks (FixedSys among
// them) becomes the theme's fixed font, and when the theme's fixed font is
// not fixed-pitch after all, a fixed-pitch family the system has.
QFont PaneFont(const QString& name, const QFont& themeFixed);

}  // namespace orvex
