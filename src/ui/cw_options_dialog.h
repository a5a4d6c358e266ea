// CWEnv: the CW Options dialog (port, speed, sidetone, the eight messages).
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "core/frame/apply_cw_options.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvex {

// What the dialog's buttons do beyond closing it.
class CWOptionsActions {
 public:
  virtual ~CWOptionsActions() = default;
  // Save (Enter): true closes the dialog, false keeps it open.
  virtual bool Save(const CWOptionsEntries& entries) = 0;
  // Help: topic 150.
  virtual void Help() = 0;
};

class CWEnv : public QDialog {
  Q_OBJECT
 public:
  // playing: what the sidetone plays through now ("PulseAudio 16.1, with
  // the key"), shown under the device choice; devices: the serial
  // devices present, offered after the port names.
  CWEnv(const CWOptionsEntries& entries, CWOptionsActions& actions, QWidget* parent,
        const Text& playing = {}, const std::vector<std::string>& devices = {});

  CWOptionsEntries Entries() const;

  QComboBox* CWPort() const { return port_; }
  QLineEdit* CWSpeed() const { return speed_; }
  QLineEdit* CWTone() const { return tone_; }
  QLineEdit* NetKeyer() const { return netKeyer_; }
  QComboBox* Keyer() const { return keyer_; }
  QComboBox* KeyLine() const { return keyLine_; }
  QComboBox* PttLine() const { return pttLine_; }
  QLineEdit* RigModel() const { return rigModel_; }
  QLabel* RigName() const { return rigName_; }
  QLineEdit* Remote() const { return remote_; }
  QLineEdit* Weight() const { return weight_; }
  QRadioButton* Option(int device) const;
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* CmdHelp() const { return help_; }

 private:
  QComboBox* port_;
  QLineEdit* speed_;
  QLineEdit* pttLead_;
  QLineEdit* pttTail_;
  QLineEdit *weight_, *farnsworth_, *wordSpace_;
  QComboBox* keyer_;
  QComboBox* keyLine_;
  QComboBox* pttLine_;
  QLineEdit* rigModel_;
  QLabel* rigName_;
  QLineEdit* rigPort_;
  QLineEdit* rigBaud_;
  QLineEdit* remote_;
  QLineEdit* myCall_;
  QLineEdit* netKeyer_;
  QCheckBox* sidetone_;
  QLineEdit* tone_;
  QRadioButton* speaker_;
  QRadioButton* midi_;
  QRadioButton* wave_;
  QLabel* playing_;
  std::array<QLineEdit*, 8> msgs_{};
  QPushButton* save_;
  QPushButton* cancel_;
  QPushButton* help_;
};

}  // namespace orvex
