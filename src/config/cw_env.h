// CWEnv: the CW Options dialog (port, speed, sidetone, the eight messages).
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "config/cw_options.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvex {

class CWEnv : public QDialog {
  Q_OBJECT
 public:
  // save runs on Save (Enter); true closes the dialog. help opens topic 150.
  CWEnv(const CWOptionsEntries& entries, std::function<bool(const CWOptionsEntries&)> save,
        std::function<void()> help, QWidget* parent);

  CWOptionsEntries Entries() const;

  QComboBox* CWPort() const { return port_; }
  QLineEdit* CWSpeed() const { return speed_; }
  QCheckBox* CWSidetone() const { return sidetone_; }
  QLineEdit* CWTone() const { return tone_; }
  QRadioButton* Option(int device) const;
  QLineEdit* Msgs(int index) const { return msgs_.at(static_cast<size_t>(index)); }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* CmdHelp() const { return help_; }

 private:
  QComboBox* port_;
  QLineEdit* speed_;
  QCheckBox* sidetone_;
  QLineEdit* tone_;
  QRadioButton* speaker_;
  QRadioButton* midi_;
  QRadioButton* wave_;
  std::array<QLineEdit*, 8> msgs_{};
  QPushButton* save_;
  QPushButton* cancel_;
  QPushButton* help_;
};

}  // namespace orvex
