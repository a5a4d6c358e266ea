#include "ui/cw_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/config/settings_table.h"
#include "core/frame/key_table.h"
#include "ui/centre_form.h"
#include "ui/qt_text.h"

namespace orvex {
namespace {

// A number field with its unit after it, in column 1 of grid.
void WithUnit(QLineEdit* edit, const char* unit, QGridLayout* grid, int row) {
  auto* box = new QHBoxLayout;
  box->addWidget(edit);
  box->addWidget(new QLabel(unit, edit->parentWidget()));
  box->addStretch();
  grid->addLayout(box, row, 1);
}

// A short number field with its label and unit, in a row of grid.
QLineEdit* NumberField(const QString& value, const char* name, const char* caption,
                       const char* unit, QWidget* parent, QGridLayout* grid, int row) {
  auto* edit = new QLineEdit(value, parent);
  edit->setObjectName(name);
  edit->setMaxLength(5);
  edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance("000000") + 16);
  auto* label = new QLabel(caption, parent);
  label->setBuddy(edit);
  grid->addWidget(label, row, 0);
  WithUnit(edit, unit, grid, row);
  return edit;
}

// The entry for a setting: its key in the entries.
std::string KeyOf(const Field& field) {
  return SettingFor(field).key;
}

QString Typed(const CWOptionsEntries& e, const Field& field) {
  const auto typed = e.typed.find(KeyOf(field));
  return typed == e.typed.end() ? QString() : ToQString(typed->second);
}

// A choice among a setting's words, with its label, in a row of grid.
QComboBox* ChoiceField(const CWOptionsEntries& e, const Field& field, const char* caption,
                       QWidget* parent, QGridLayout* grid, int row) {
  auto* box = new QComboBox(parent);
  box->setObjectName(KeyOf(field).c_str());
  box->addItems(QString(SettingFor(field).choices).split('|'));
  box->setCurrentText(Typed(e, field));
  auto* label = new QLabel(caption, parent);
  label->setBuddy(box);
  grid->addWidget(label, row, 0);
  grid->addWidget(box, row, 1, Qt::AlignLeft);
  return box;
}

}  // namespace

CWEnv::CWEnv(const CWOptionsEntries& e, CWOptionsActions& actions, QWidget* parent,
             const Text& playing, const std::vector<std::string>& devices)
    : QDialog(parent) {
  setObjectName("CWEnv");
  setWindowTitle(" CW Messages, Speed, ...");

  // Port and speed.
  auto* cwFrame = new QGroupBox("CW Port/Speed", this);
  cwFrame->setObjectName("CWFrame");
  port_ = new QComboBox(cwFrame);
  port_->setObjectName("CWPort");
  port_->setEditable(true);
  port_->addItems(
      {"None", "LPT1", "LPT2", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"});
  // The adapters plugged in, by the names that say what they are.
  for (const std::string& device : devices) port_->addItem(QString::fromStdString(device));
  port_->setMinimumContentsLength(12);
  port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_->setInsertPolicy(QComboBox::NoInsert);
  port_->setEditText(Typed(e, &EnvSettings::CWPort));
  speed_ = new QLineEdit(Typed(e, &EnvSettings::CWSpeed), cwFrame);
  speed_->setObjectName("CWSpeed");
  speed_->setMaximumWidth(speed_->fontMetrics().horizontalAdvance("00000") + 16);
  auto* portLabel = new QLabel("TX Port", cwFrame);
  portLabel->setObjectName("CWPortLabel");
  portLabel->setBuddy(port_);
  auto* speedLabel = new QLabel("Speed", cwFrame);
  speedLabel->setObjectName("CWSpeedLabel");
  speedLabel->setBuddy(speed_);
  auto* cwGrid = new QGridLayout(cwFrame);
  cwGrid->addWidget(portLabel, 0, 0);
  cwGrid->addWidget(port_, 0, 1);
  cwGrid->addWidget(speedLabel, 1, 0);
  WithUnit(speed_, "WPM", cwGrid, 1);
  pttLead_ = NumberField(Typed(e, &EnvSettings::CWPttLead), "CWPttLead", "PTT lead", "ms", cwFrame,
                         cwGrid, 2);
  pttTail_ = NumberField(Typed(e, &EnvSettings::CWPttTail), "CWPttTail", "PTT tail", "ms", cwFrame,
                         cwGrid, 3);
  // How the port keys: its own lines (which one keys, which is PTT: check
  // the radio's menu for the line it keys on), or a WinKeyer on it.
  keyer_ = ChoiceField(e, &EnvSettings::CWKeyer, "Keyer", cwFrame, cwGrid, 4);
  keyLine_ = ChoiceField(e, &EnvSettings::CWKeyLine, "Key line", cwFrame, cwGrid, 5);
  pttLine_ = ChoiceField(e, &EnvSettings::CWPttLine, "PTT line", cwFrame, cwGrid, 6);
  // The radio over Hamlib (model 2: a running rigctld), with the model's
  // name beside its number; a keyer on another machine.
  rigModel_ = NumberField(Typed(e, &EnvSettings::RigModel), "RigModel", "Rig model", "", cwFrame,
                          cwGrid, 7);
  rigName_ = new QLabel(cwFrame);
  rigName_->setObjectName("RigModelName");
  cwGrid->itemAtPosition(7, 1)->layout()->addWidget(rigName_);
  rigPort_ = new QLineEdit(Typed(e, &EnvSettings::RigPort), cwFrame);
  rigPort_->setObjectName("RigPort");
  rigPort_->setToolTip("The radio's device, or host:port of rigctld (model 2)");
  cwGrid->addWidget(new QLabel("Rig port", cwFrame), 8, 0);
  cwGrid->addWidget(rigPort_, 8, 1);
  rigBaud_ = NumberField(Typed(e, &EnvSettings::RigBaud), "RigBaud", "Rig baud", "(0: the model's)",
                         cwFrame, cwGrid, 9);
  rigBaud_->setMaxLength(7);
  remote_ = new QLineEdit(Typed(e, &EnvSettings::RemoteKeyer), cwFrame);
  remote_->setObjectName("RemoteKeyer");
  cwGrid->addWidget(new QLabel("Remote keyer", cwFrame), 10, 0);
  cwGrid->addWidget(remote_, 10, 1);
  auto inUse = [this] {
    const QString keyer = keyer_->currentText();
    keyLine_->setEnabled(keyer == "Line");
    // The radio's keyer has PTT keyed over CAT (Rig) or keys it itself.
    pttLine_->setEnabled(keyer == "Line" || keyer == "Rig");
    const bool rig = keyer == "Rig" || (keyer == "Line" && pttLine_->currentText() == "Rig");
    for (QWidget* w : {static_cast<QWidget*>(rigModel_), static_cast<QWidget*>(rigPort_),
                       static_cast<QWidget*>(rigBaud_)})
      w->setEnabled(rig);
    remote_->setEnabled(keyer == "Remote");
    rigName_->setText(ToQString(RigModelText(rigModel_->text().toInt())));
  };
  connect(keyer_, &QComboBox::currentTextChanged, this, inUse);
  connect(pttLine_, &QComboBox::currentTextChanged, this, inUse);
  connect(rigModel_, &QLineEdit::textChanged, this, inUse);
  inUse();
  // Loggers (Tlf, CQRLOG...) key through the program: a port on this
  // computer, or address:port to take requests from the network.
  netKeyer_ = new QLineEdit(Typed(e, &EnvSettings::NetKeyer), cwFrame);
  netKeyer_->setObjectName("NetKeyer");
  netKeyer_->setPlaceholderText("off");
  netKeyer_->setMaximumWidth(netKeyer_->fontMetrics().horizontalAdvance("127.0.0.1:65535") + 16);
  auto* netLabel = new QLabel("Accept keying from loggers on UDP port", cwFrame);
  netLabel->setObjectName("NetKeyerLabel");
  netLabel->setBuddy(netKeyer_);
  cwGrid->addWidget(netLabel, 11, 0, 1, 2);
  cwGrid->addWidget(netKeyer_, 12, 0, 1, 2, Qt::AlignLeft);
  // The operator's own call, as CW/Set #me sets it.
  myCall_ = new QLineEdit(Typed(e, &EnvSettings::MyCall), cwFrame);
  myCall_->setObjectName("MyCall");
  auto* myCallLabel = new QLabel("My call (#ME)", cwFrame);
  myCallLabel->setBuddy(myCall_);
  cwGrid->addWidget(myCallLabel, 13, 0);
  cwGrid->addWidget(myCall_, 13, 1);
  cwGrid->setRowStretch(14, 1);

  // Sidetone.
  auto* toneFrame = new QGroupBox("CW Sidetone", this);
  toneFrame->setObjectName("CWSidetoneFrame");
  sidetone_ = new QCheckBox("Enable Sidetone", toneFrame);
  sidetone_->setObjectName("CWSidetone");
  sidetone_->setChecked(Typed(e, &EnvSettings::CWSidetone_Enable) != "0");
  tone_ = new QLineEdit(Typed(e, &EnvSettings::CWTone), toneFrame);
  tone_->setObjectName("CWTone");
  tone_->setMaxLength(4);
  tone_->setMaximumWidth(tone_->fontMetrics().horizontalAdvance("000000") + 16);
  auto* toneLabel = new QLabel("Tone Freq.", toneFrame);
  toneLabel->setObjectName("CWToneLabel");
  toneLabel->setBuddy(tone_);
  speaker_ = new QRadioButton("Use PC Speaker", toneFrame);
  speaker_->setObjectName("OptionSpeaker");
  midi_ = new QRadioButton("Use Sound Card/MIDI", toneFrame);
  midi_->setObjectName("OptionSoundMIDI");
  wave_ = new QRadioButton("Use Sound Card/Wave", toneFrame);
  wave_->setObjectName("OptionSoundWave");
  Option(Typed(e, &EnvSettings::CWSidetone_Device).toInt())->setChecked(true);
  auto* toneGrid = new QGridLayout(toneFrame);
  toneGrid->addWidget(sidetone_, 0, 0, 1, 2);
  toneGrid->addWidget(toneLabel, 1, 0);
  WithUnit(tone_, "Hz", toneGrid, 1);
  toneGrid->addWidget(speaker_, 2, 0, 1, 2);
  toneGrid->addWidget(midi_, 3, 0, 1, 2);
  toneGrid->addWidget(wave_, 4, 0, 1, 2);
  // Which output the operator hears: a missing PC speaker or MIDI synth
  // falls back to the sound card, and the sound card to silence.
  playing_ = new QLabel("Playing through: " + ToQString(playing.empty() ? Text("none") : playing),
                        toneFrame);
  playing_->setObjectName("SidetoneOutput");
  playing_->setWordWrap(true);
  toneGrid->addWidget(playing_, 5, 0, 1, 2);

  // The keying's shape: weighting, Farnsworth spacing, the word space.
  auto* timingFrame = new QGroupBox("CW Timing", this);
  timingFrame->setObjectName("CWTimingFrame");
  auto* timingGrid = new QGridLayout(timingFrame);
  weight_ = NumberField(Typed(e, &EnvSettings::CWWeight), "CWWeight", "Weight", "% (50: plain)",
                        timingFrame, timingGrid, 0);
  farnsworth_ = NumberField(Typed(e, &EnvSettings::CWFarnsworth), "CWFarnsworth", "Farnsworth",
                            "WPM (0: off)", timingFrame, timingGrid, 1);
  wordSpace_ = NumberField(Typed(e, &EnvSettings::CWWordSpace), "CWWordSpace", "Word space",
                           "units (6 or 7)", timingFrame, timingGrid, 2);
  for (QLineEdit* field : {weight_, farnsworth_, wordSpace_}) field->setMaxLength(2);
  timingGrid->setRowStretch(3, 1);

  // Buttons.
  save_ = new QPushButton("&Save", this);
  save_->setObjectName("SaveButton");
  save_->setDefault(true);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("CancelButton");
  help_ = new QPushButton("&Help", this);
  help_->setObjectName("CmdHelp");
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(save_);
  buttons->addWidget(cancel_);
  buttons->addWidget(help_);
  buttons->addStretch();

  // Messages.
  auto* msgsFrame = new QGroupBox("CW Messages", this);
  msgsFrame->setObjectName("MsgsFrame");
  auto* msgGrid = new QGridLayout(msgsFrame);
  for (int n = 1; n <= 8; ++n) {
    // The number and the key that sends it.
    auto* label = new QLabel(QString("%1  %2").arg(n).arg(ToQString(MessageKeyName(n))), msgsFrame);
    label->setObjectName(QString("MsgLabel%1").arg(n));
    auto* edit = new QLineEdit(ToQString(e.messages[static_cast<size_t>(n - 1)]), msgsFrame);
    edit->setObjectName(QString("Msgs%1").arg(n - 1));
    edit->setMaxLength(32767);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(40, 'M')));
    msgGrid->addWidget(label, n - 1, 0);
    msgGrid->addWidget(edit, n - 1, 1);
    msgs_[static_cast<size_t>(n - 1)] = edit;
  }

  auto* top = new QHBoxLayout;
  top->addWidget(cwFrame);
  auto* middle = new QVBoxLayout;
  middle->addWidget(toneFrame);
  middle->addWidget(timingFrame);
  top->addLayout(middle);
  top->addLayout(buttons);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addWidget(msgsFrame);

  // The keyboard order of the original dialog, the wave option last; the
  // keying choices and the loggers' port, which it did not have, after it.
  QWidget* order[] = {port_,    speed_,      pttLead_,  pttTail_, sidetone_, tone_,    speaker_,
                      midi_,    msgs_[0],    msgs_[1],  msgs_[2], msgs_[3],  msgs_[4], msgs_[5],
                      msgs_[6], msgs_[7],    save_,     cancel_,  help_,     wave_,    keyer_,
                      keyLine_, pttLine_,    rigModel_, rigPort_, rigBaud_,  remote_,  netKeyer_,
                      weight_,  farnsworth_, wordSpace_};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(save_, &QPushButton::clicked, this, [this, &actions] {
    if (actions.Save(Entries())) accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [&actions] { actions.Help(); });
  adjustSize();
  CentreForm(this);
  port_->setFocus();
}

QRadioButton* CWEnv::Option(int device) const {
  return device == 3 ? midi_ : device == 4 ? wave_ : speaker_;
}

CWOptionsEntries CWEnv::Entries() const {
  CWOptionsEntries e;
  e.typed[KeyOf(&EnvSettings::CWPort)] = FromQString(port_->currentText());
  e.typed[KeyOf(&EnvSettings::CWSpeed)] = FromQString(speed_->text());
  e.typed[KeyOf(&EnvSettings::CWPttLead)] = FromQString(pttLead_->text());
  e.typed[KeyOf(&EnvSettings::CWPttTail)] = FromQString(pttTail_->text());
  e.typed[KeyOf(&EnvSettings::NetKeyer)] = FromQString(netKeyer_->text());
  e.typed[KeyOf(&EnvSettings::CWKeyer)] = FromQString(keyer_->currentText());
  e.typed[KeyOf(&EnvSettings::CWKeyLine)] = FromQString(keyLine_->currentText());
  e.typed[KeyOf(&EnvSettings::CWPttLine)] = FromQString(pttLine_->currentText());
  e.typed[KeyOf(&EnvSettings::RigModel)] = FromQString(rigModel_->text());
  e.typed[KeyOf(&EnvSettings::RigPort)] = FromQString(rigPort_->text());
  e.typed[KeyOf(&EnvSettings::RigBaud)] = FromQString(rigBaud_->text());
  e.typed[KeyOf(&EnvSettings::RemoteKeyer)] = FromQString(remote_->text());
  e.typed[KeyOf(&EnvSettings::MyCall)] = FromQString(myCall_->text());
  e.typed[KeyOf(&EnvSettings::CWTone)] = FromQString(tone_->text());
  e.typed[KeyOf(&EnvSettings::CWWeight)] = FromQString(weight_->text());
  e.typed[KeyOf(&EnvSettings::CWFarnsworth)] = FromQString(farnsworth_->text());
  e.typed[KeyOf(&EnvSettings::CWWordSpace)] = FromQString(wordSpace_->text());
  e.typed[KeyOf(&EnvSettings::CWSidetone_Enable)] = std::to_string(sidetone_->isChecked() ? 1 : 0);
  e.typed[KeyOf(&EnvSettings::CWSidetone_Device)] = std::to_string(midi_->isChecked()   ? 3
                                                                   : wave_->isChecked() ? 4
                                                                                        : 1);
  for (size_t i = 0; i < msgs_.size(); ++i) e.messages[i] = FromQString(msgs_[i]->text());
  return e;
}

}  // namespace orvex
