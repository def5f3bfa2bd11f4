#pragma once

#include "core/app/OptionWriter.h"

#include <QList>
#include <QObject>
#include <QString>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;
class QWidget;
QT_END_NAMESPACE

namespace quorvel {

// The main window's controls that hold a stored option.
struct OptionControls
{
    QComboBox *urlBox = nullptr;           // Edit1: "StartURL"
    QCheckBox *showOptions = nullptr;      // CheckBox1
    QRadioButton *domainName = nullptr;    // RadioButton1
    QRadioButton *subdomainName = nullptr; // RadioButton2
    QCheckBox *removeAnchors = nullptr;    // CheckBox2
    QCheckBox *useHead = nullptr;          // CheckBox3
    QLineEdit *connectTimeout = nullptr;   // Edit3
    QLineEdit *responseTimeout = nullptr;  // Edit4
    QComboBox *agentBox = nullptr;         // ComboBox1
    QLineEdit *ignoreExtensions = nullptr; // Edit2
    QPlainTextEdit *ignoreUrls = nullptr;  // Memo1
    QSpinBox *parallelChecks = nullptr;
    QSpinBox *perHost = nullptr;
    // The rows "Show Options" shows and hides, top to bottom.
    QList<QWidget *> optionRows;
};

// Keeps the main window's option controls and settings.ini in step: fills the controls from the
// stored values at start-up, then writes each change the moment it happens. UI thread.
class AppFormOptions final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppFormOptions)

public:
    AppFormOptions(OptionControls controls, SettingsStore store, QObject *parent = nullptr);

    // The stored values to the controls. Called before connectWriters, so a start-up writes nothing.
    void applyStoredOptions();
    // From now on every change of a control is written at once.
    void connectWriters();

Q_SIGNALS:
    // A change could not be stored ("Unable to write to ..."); the control keeps its new value.
    void writeRefused(const QString &error);

private:
    void report(bool written, const QString &error);

    OptionControls m_controls;
    OptionWriter m_writer;
};

} // namespace quorvel
