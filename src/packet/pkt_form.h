// PktForm: the packet window, Orvex's main window. For now a frame with the
// File menu; it saves and restores its placement in twips.
#pragma once

#include <QMainWindow>
#include <functional>

#include "app/shutdown.h"
#include "config/env_settings.h"

namespace orvex {

class PktForm : public QMainWindow, public PacketWindowView {
  Q_OBJECT
 public:
  PktForm();

  // Restores state and placement from the settings: the saved placement
  // when PacketTop is not negative, else 7350 x 1200 twips, centred.
  void RestorePlacement(const EnvSettings& settings);
  // Shows the window in the state restored.
  void ShowRestored();

  // Runs when the window is closed by any path (close box, File/Exit).
  void SetExitHandler(std::function<void()> handler) { exitHandler_ = std::move(handler); }

  WindowState State() const override;
  TwipsRect PlacementTwips() const override;
  void CloseWindow() override { close(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::function<void()> exitHandler_;
  bool maximize_ = false;
};

}  // namespace orvex
