#include "gui/app/AppFormOptions.h"

#include "core/app/OptionValues.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace quorvel {

AppFormOptions::AppFormOptions(OptionControls controls, SettingsStore store, QObject *parent)
    : QObject(parent)
    , m_controls(std::move(controls))
    , m_writer(std::move(store))
{}

void AppFormOptions::applyStoredOptions()
{
    const OptionValues values = loadOptions(m_writer.store());
    const OptionControls &c = m_controls;
    c.urlBox->setEditText(values.startUrl);
    c.showOptions->setChecked(values.showOptions);
    for (QWidget *row : c.optionRows) {
        row->setVisible(values.showOptions);
    }
    (values.urlBase == UrlBaseMode::Subdomain ? c.subdomainName : c.domainName)->setChecked(true);
    c.removeAnchors->setChecked(values.removeAnchors);
    c.useHead->setChecked(values.useHead);
    c.connectTimeout->setText(values.connectionTimeout);
    c.responseTimeout->setText(values.responseTimeout);
    c.agentBox->setEditText(values.agent);
    c.ignoreExtensions->setText(values.ignoreExtensions);
    c.ignoreUrls->setPlainText(values.ignoreUrls);
    c.parallelChecks->setValue(values.parallelChecks);
    c.perHost->setValue(values.perHost);
}

void AppFormOptions::report(bool written, const QString &error)
{
    if (!written) {
        Q_EMIT writeRefused(error);
    }
}

void AppFormOptions::connectWriters()
{
    // Every change is written at once, whether the user or the program made it.
    auto write = [this](auto member) {
        return [this, member](const auto &value) {
            QString error;
            report((m_writer.*member)(value, &error), error);
        };
    };
    auto writeUrlBase = [this](bool domain) {
        return [this, domain](bool on) {
            if (on) {
                QString error;
                report(m_writer.writeUrlBase(domain, &error), error);
            }
        };
    };
    const OptionControls &c = m_controls;
    connect(c.urlBox, &QComboBox::editTextChanged, this, write(&OptionWriter::writeStartUrl));
    connect(c.showOptions, &QCheckBox::toggled, this, write(&OptionWriter::writeShowOptions));
    connect(c.domainName, &QRadioButton::toggled, this, writeUrlBase(true));
    connect(c.subdomainName, &QRadioButton::toggled, this, writeUrlBase(false));
    connect(c.removeAnchors, &QCheckBox::toggled, this, write(&OptionWriter::writeRemoveAnchors));
    connect(c.useHead, &QCheckBox::toggled, this, write(&OptionWriter::writeUseHead));
    connect(c.connectTimeout, &QLineEdit::textChanged, this, write(&OptionWriter::writeConnectionTimeout));
    connect(c.responseTimeout, &QLineEdit::textChanged, this, write(&OptionWriter::writeResponseTimeout));
    connect(c.agentBox, &QComboBox::editTextChanged, this, write(&OptionWriter::writeAgent));
    connect(c.ignoreExtensions, &QLineEdit::textChanged, this, write(&OptionWriter::writeIgnoreExtensions));
    connect(c.ignoreUrls, &QPlainTextEdit::textChanged, this, [this] {
        QString error;
        report(m_writer.writeIgnoreUrls(m_controls.ignoreUrls->toPlainText(), &error), error);
    });
    connect(c.parallelChecks, &QSpinBox::valueChanged, this, write(&OptionWriter::writeParallelChecks));
    connect(c.perHost, &QSpinBox::valueChanged, this, write(&OptionWriter::writePerHost));
}

} // namespace quorvel
