#include "cli/CliDocs.h"

#include "cli/CliArguments.h"
#include "support/Fixtures.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

struct Finished
{
    int exitCode = -1;
    QString out;
    QString err;
};

Finished run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
        return {};
    }
    return path;
}

// A value the parser takes for the option (its first word, or a number that every bound allows).
QString sampleValue(const CliOption &entry, unsigned scope)
{
    const QStringList words = cliChoicesFor(entry, scope);
    return words.isEmpty() ? u"1"_s : words.constFirst();
}

QSet<QString> lines(const QString &text)
{
    QSet<QString> set;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
        set.insert(line);
    }
    return set;
}

// What the bash completion offers for the words typed so far (the last one being completed).
class BashCompletion
{
public:
    BashCompletion() { m_script = writeFile(m_dir, u"quorvel-cli"_s, bashCompletion()); }

    QSet<QString> offers(const QStringList &words) const
    {
        QString script = u"source /usr/share/bash-completion/bash_completion\nsource \"$1\"\nCOMP_WORDS=(quorvel-cli"_s;
        for (const QString &word : words) {
            script += u" '"_s + word + u'\'';
        }
        script += u")\nCOMP_CWORD=${#COMP_WORDS[@]}; COMP_CWORD=$((COMP_CWORD - 1))\n"_s
                  u"COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"_s
                  u"_quorvel_cli quorvel-cli \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"_s
                  u"printf '%s\\n' \"${COMPREPLY[@]}\"\n"_s;
        const Finished done = run(u"bash"_s, {u"-c"_s, script, u"bash"_s, m_script});
        EXPECT_EQ(done.exitCode, 0) << done.err.toStdString();
        return lines(done.out);
    }

private:
    QTemporaryDir m_dir;
    QString m_script;
};

bool accepts(const QStringList &args)
{
    QString error;
    return parseCliArguments(args, &error).has_value();
}

} // namespace

// The completion offers a command exactly the options the parser takes for it, and for an option's
// value exactly the words the parser takes; so the completion cannot go stale as options change.
TEST(CliDocs, BashCompletionOffersWhatTheParserTakes)
{
    ASSERT_TRUE(QFile::exists(u"/usr/share/bash-completion/bash_completion"_s))
        << "bash-completion is missing (scripts/install-deps installs it)";
    const BashCompletion completion;

    QSet<QString> commands;
    for (const CliCommandName &command : cliCommandNames()) {
        commands.insert(command.name);
    }
    const QSet<QString> first = commands + QSet<QString>{u"--help"_s, u"--version"_s};
    EXPECT_EQ(completion.offers({u""_s}), first);
    EXPECT_EQ(completion.offers({u"cr"_s}), QSet<QString>{u"crawl"_s});

    QSet<QString> everyWord;
    for (const CliOption &entry : cliOptionTable()) {
        for (const CliChoice &choice : entry.choices) {
            everyWord.insert(choice.value);
        }
    }
    everyWord.insert(u"xml"_s);

    for (const CliCommandName &command : cliCommandNames()) {
        SCOPED_TRACE(command.name.toStdString());
        QSet<QString> taken;
        for (const CliOption &entry : cliOptionTable()) {
            const QString name = u"--"_s + entry.option.names().constFirst();
            QStringList args{command.name, u"x"_s, name};
            if (!entry.option.valueName().isEmpty()) {
                args.append(sampleValue(entry, command.scope));
            }
            if (accepts(args)) {
                taken.insert(name);
            }
            if (entry.choices.empty() || !taken.contains(name)) {
                continue;
            }
            SCOPED_TRACE(name.toStdString());
            QSet<QString> takenWords;
            for (const QString &word : everyWord) {
                if (accepts({command.name, u"x"_s, name, word})) {
                    takenWords.insert(word);
                }
            }
            EXPECT_EQ(completion.offers({command.name, name, u""_s}), takenWords);
        }
        EXPECT_FALSE(taken.isEmpty());
        EXPECT_EQ(completion.offers({command.name, u"x"_s, u"--"_s}), taken);
    }
}

// Each command's zsh option list names the options the parser takes for it, and zsh reads the script.
TEST(CliDocs, ZshCompletionListsWhatTheParserTakes)
{
    const QString script = zshCompletion();
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"_quorvel-cli"_s, script);
    const Finished syntax = run(u"zsh"_s, {u"-n"_s, path});
    EXPECT_EQ(syntax.exitCode, 0) << "zsh is missing or refuses the script: " << syntax.err.toStdString();

    for (const CliCommandName &command : cliCommandNames()) {
        SCOPED_TRACE(command.name.toStdString());
        const qsizetype start = script.indexOf(u"\n    "_s + command.name + u")\n"_s);
        ASSERT_GE(start, 0);
        const QString block = script.mid(start, script.indexOf(u";;"_s, start) - start);
        QSet<QString> listed;
        const QRegularExpression optionLine(u"'(--[a-z-]+)=?\\["_s);
        for (auto match = optionLine.globalMatch(block); match.hasNext();) {
            listed.insert(match.next().captured(1));
        }
        QSet<QString> taken;
        for (const CliOption &entry : cliOptionTable()) {
            const QString name = u"--"_s + entry.option.names().constFirst();
            QStringList args{command.name, u"x"_s, name};
            if (!entry.option.valueName().isEmpty()) {
                args.append(sampleValue(entry, command.scope));
            }
            if (accepts(args)) {
                taken.insert(name);
            }
        }
        EXPECT_EQ(listed, taken);
    }
}

// The manual page lists every option under its group with its help text, and man renders it
// without a warning.
TEST(CliDocs, ManualPagesRenderWithEveryOption)
{
    const QString page = cliManPage(u"9.8"_s);
    EXPECT_TRUE(page.startsWith(u".TH QUORVEL-CLI 1 \"\" \"Quorvel 9.8\""_s));
    for (const CliOption &entry : cliOptionTable()) {
        const QString name = entry.option.names().constFirst();
        SCOPED_TRACE(name.toStdString());
        QString roffName = u"\\fB\\-\\-"_s + QString(name).replace(u'-', u"\\-"_s) + u"\\fR"_s;
        EXPECT_TRUE(page.contains(roffName));
    }

    QTemporaryDir dir;
    const struct
    {
        QString name;
        QString text;
        QString expected; // a line of the rendered page
    } pages[] = {
        {u"quorvel-cli.1"_s, page, u"--retry-wait-max SECONDS"_s},
        {u"quorvel.1"_s, guiManPage(u"9.8"_s), u"quorvel-cli(1)"_s},
    };
    for (const auto &p : pages) {
        SCOPED_TRACE(p.name.toStdString());
        const QString path = writeFile(dir, p.name, p.text);
        QProcess man;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"MANWIDTH"_s, u"100"_s);
        environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        man.setProcessEnvironment(environment);
        man.start(u"man"_s, {u"--warnings"_s, u"-E"_s, u"ascii"_s, u"-l"_s, path});
        ASSERT_TRUE(man.waitForFinished(60'000)) << "man is missing";
        const QString out = QString::fromUtf8(man.readAllStandardOutput());
        EXPECT_EQ(man.exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(man.readAllStandardError()), QString());
        EXPECT_TRUE(out.contains(p.expected)) << out.toStdString();
    }
}

} // namespace quorvel::test
