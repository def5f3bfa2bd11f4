#pragma once

// Drives the main window in tests: finds its controls by objectName, answers its modal dialogs,
// and gives it a sandbox of folders (program folder, configuration home, test pages).

#include "core/model/LinkRow.h"
#include "gui/ModalAnswerer.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::test {

inline constexpr int kRunWaitMs = 10'000;

// A widget or action of the window by objectName; a missing one fails the test.
template <typename T> T &child(const QObject &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found) {
        throw std::logic_error("no child named " + name.toStdString());
    }
    return *found;
}

inline QStringList itemsOf(const QComboBox &box)
{
    QStringList items;
    for (int i = 0; i < box.count(); ++i) {
        items.append(box.itemText(i));
    }
    return items;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void typeInto(QLineEdit &edit, const QString &text)
{
    edit.selectAll();
    QTest::keyClicks(&edit, text);
}

// A program folder (where settings.ini and history.txt go), a configuration home, a folder of test
// pages, and what the window opened, beeped and restarted.
class Sandbox
{
public:
    Sandbox()
    {
        if (!m_program.isValid() || !m_config.isValid() || !m_pages.isValid()) {
            throw std::runtime_error("no temporary folder");
        }
    }

    std::unique_ptr<TAppForm> open()
    {
        AppEnvironment environment;
        environment.programFile = QCoreApplication::applicationFilePath();
        environment.programFolder = m_program.path();
        environment.configHome = m_config.path();
        environment.makerHost = makerHost;
        // The update notices' switch stays in the sandbox, never in the user's own settings.
        environment.showUpdateIni = QDir(m_config.path()).filePath(QStringLiteral("showupdate.ini"));
        environment.openAddress = [this](const QString &address) {
            opened.append(address);
        };
        environment.beep = [this] {
            ++beeps;
        };
        environment.restart = [this] {
            ++restarts;
        };
        environment.quit = [this] {
            ++quits;
        };
        return std::make_unique<TAppForm>(std::move(environment));
    }

    QString programFolder() const { return m_program.path(); }

    QString settingsPath() const { return QDir(m_program.path()).filePath(QStringLiteral("settings.ini")); }

    QString historyPath() const { return QDir(m_program.path()).filePath(QStringLiteral("history.txt")); }

    void store(const QString &key, const QString &value) const
    {
        if (!SettingsStore(settingsPath()).write(key, value)) {
            throw std::runtime_error("cannot prepare settings.ini");
        }
    }

    // Writes a page and returns the address the URL box takes for it.
    QString pagesFolder() const { return m_pages.path(); }

    QString page(const QString &name, const QString &html) const
    {
        const QString path = QDir(m_pages.path()).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0) {
            throw std::runtime_error("cannot write a test page");
        }
        return QStringLiteral("file://") + path;
    }

    QString makerHost = QStringLiteral("127.0.0.1:9"); // the maker's site: nothing listens there
    QStringList opened;
    int beeps = 0;
    int restarts = 0;
    int quits = 0;
    ModalAnswerer dialogs;

private:
    QTemporaryDir m_program;
    QTemporaryDir m_config;
    QTemporaryDir m_pages;
};

// Puts the address into the URL box, clicks Check and waits for the run to end.
inline ::testing::AssertionResult collect(TAppForm &form, const QString &address)
{
    auto &box = child<QComboBox>(form, QStringLiteral("Edit1"));
    auto &button = child<QToolButton>(form, QStringLiteral("BitBtn1"));
    box.setEditText(address);
    button.click();
    if (!QTest::qWaitFor([&button] { return button.text() == QStringLiteral("Check") && button.isEnabled(); },
                         kRunWaitMs)) {
        return ::testing::AssertionFailure() << "the run did not end";
    }
    return ::testing::AssertionSuccess();
}

inline QStringList linksOf(const ResultsModel &model)
{
    QStringList links;
    for (const LinkRow &row : model.rows()) {
        links.append(row.link);
    }
    return links;
}

} // namespace quorvel::test
