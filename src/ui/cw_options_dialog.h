// CWEnv: the CW Options dialog. Its fields are drawn from the settings
// table: every row with a tab gets the field its entry says, with the row's
// caption and unit, on the row's tab; the entries go back by the rows' keys.
#pragma once

#include <QDialog>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "core/frame/apply_cw_options.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

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
  // the key"), shown under the sidetone's fields; devices: the serial
  // devices present, offered after the port names.
  CWEnv(const CWOptionsEntries& entries, CWOptionsActions& actions, QWidget* parent,
        const Text& playing = {}, const std::vector<std::string>& devices = {});

  // The field of a setting, by its key ("CWSpeed"): a line edit, a combo
  // box, a check box or, for Options, the box holding its buttons
  // (each named key + its number).
  QWidget* Field(const std::string& key) const;
  QLabel* Note(const std::string& key) const;
  QLineEdit* Message(int n) const { return msgs_.at(static_cast<size_t>(n - 1)); }
  QTabWidget* Tabs() const { return tabs_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* CmdHelp() const { return help_; }

 private:
  CWOptionsEntries Collected() const;
  void FollowKeyer();

  QTabWidget* tabs_;
  std::map<std::string, QWidget*> fields_;
  std::map<std::string, QLabel*> notes_;
  std::array<QLineEdit*, 8> msgs_{};
  QPushButton* save_;
  QPushButton* cancel_;
  QPushButton* help_;
};

}  // namespace orvex
