#include "cli/CliDocs.h"

#include "cli/CliArguments.h"
#include "cli/CliIo.h"

#include <QStringList>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Text as roff prints it: backslashes escaped, a leading dot or quote kept from being a request.
QString roffText(const QString &text)
{
    QString out = text;
    out.replace(u'\\', u"\\e"_s);
    out.replace(u'-', u"\\-"_s);
    if (out.startsWith(u'.') || out.startsWith(u'\'')) {
        out.prepend(u"\\&"_s);
    }
    return out;
}

QString optionName(const CliOption &entry)
{
    return entry.option.names().constFirst();
}

// "\fB\-\-name\fR \fIVALUE\fR"
QString roffOptionSynopsis(const CliOption &entry)
{
    QString text = u"\\fB\\-\\-"_s + roffText(optionName(entry)) + u"\\fR"_s;
    if (!entry.option.valueName().isEmpty()) {
        text += u" \\fI"_s + roffText(entry.option.valueName()) + u"\\fR"_s;
    }
    return text;
}

QString manHeader(const QString &title, const QString &version)
{
    return u".TH "_s + title + u" 1 \"\" \"Quorvel "_s + roffText(version) + u"\" \"User Commands\"\n"_s;
}

bool takesFile(const CliOption &entry)
{
    return entry.option.valueName() == u"FILE";
}

// The option names, each with "--", that the commands of `scope` accept.
QStringList optionWords(unsigned scope)
{
    QStringList words;
    for (const CliOption &entry : cliOptionTable()) {
        if ((entry.scope & scope) != 0) {
            words.append(u"--"_s + optionName(entry));
        }
    }
    return words;
}

// A help text inside a zsh "--name[...]" option line.
QString zshDescription(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\'') {
            out += u"'\\''"_s;
        } else {
            if (c == u'[' || c == u']' || c == u':' || c == u'\\') {
                out += u'\\';
            }
            out += c;
        }
    }
    return out;
}

} // namespace

QString cliManPage(const QString &version)
{
    QString page = manHeader(u"QUORVEL-CLI"_s, version);
    page += u".SH NAME\nquorvel\\-cli \\- list, classify and check the links of a web page or a whole site\n"_s;
    page += u".SH SYNOPSIS\n"_s;
    for (const QString &line : cliSynopsisLines()) {
        page += u".nf\n"_s + roffText(line.simplified()) + u"\n.fi\n"_s;
    }
    page += u".SH DESCRIPTION\n"_s
            u"\\fBquorvel\\-cli\\fR is the command\\-line front end of Quorvel, the link analyzer: it runs the same "_s
            u"engine as the window program \\fBquorvel\\fR(1) and prints the same rows.\n.PP\n"_s +
            roffText(cliAddressNote().simplified()) + u'\n';
    page +=
        u".SH COMMANDS\n"_s
        u".TP\n\\fBcollect\\fR \\fIADDRESS\\fR\nThe rows of one collection run: every link of the page, its follow "_s
        u"value, whether it is Internal or External, and its anchor text.\n"_s
        u".TP\n\\fBcheck\\fR \\fIADDRESS\\fR\nThe same, then the broken\\-link check of every row.\n"_s
        u".TP\n\\fBcrawl\\fR \\fIADDRESS\\fR\nEvery page of a site reached by Internal links, and the check of every "_s
        u"link on them.\n"_s
        u".TP\n\\fBanalyze\\fR \\fIADDRESS\\fR\nTitle, description, headings, text and images of one page, as "_s
        u"JSON.\n"_s
        u".TP\n\\fB\\-\\-help\\fR\nPrint the usage text with every option.\n"_s
        u".TP\n\\fB\\-\\-version\\fR\nPrint the version, the same as the window's About box.\n"_s;
    page += u".SH OPTIONS\n"_s
            u"An option is written \\fB\\-\\-name\\fR \\fIvalue\\fR or \\fB\\-\\-name\\fR=\\fIvalue\\fR; "_s
            u"\\fB\\-\\-\\fR ends the options. For a repeated option the last one counts.\n"_s;
    const std::vector<CliOption> &table = cliOptionTable();
    for (const CliOptionGroup &group : cliOptionGroups()) {
        QString heading = group.heading;
        heading.chop(1); // the colon
        heading[0] = heading[0].toUpper();
        page += u".SS "_s + roffText(heading) + u'\n';
        for (const CliOption &entry : table) {
            if (entry.scope == group.scope) {
                page += u".TP\n"_s + roffOptionSynopsis(entry) + u'\n' + roffText(entry.option.description()) + u'\n';
            }
        }
    }
    page += u".SH EXIT STATUS\n"_s;
    const auto statuses = std::to_array<std::pair<int, QString>>({
        {kExitOk, u"Done."_s},
        {kExitBroken,
         u"check, crawl: at least one link is broken (with --strict, blocked and rate-limited links count too)."_s},
        {kExitUsage, u"Bad usage: the reason and the synopsis go to standard error."_s},
        {kExitPageFailed, u"The page could not be loaded."_s},
        {kExitOutputFailed, u"Standard output, the output file or the crawl store could not be written."_s},
    });
    for (const auto &[status, meaning] : statuses) {
        page += u".TP\n\\fB"_s + QString::number(status) + u"\\fR\n"_s + roffText(meaning) + u'\n';
    }
    page += u".TP\n\\fB128\\fR + \\fIsignal\\fR\nStopped by SIGINT or SIGTERM.\n"_s;
    page += u".SH SEE ALSO\n\\fBquorvel\\fR(1)\n"_s;
    return page;
}

QString guiManPage(const QString &version)
{
    QString page = manHeader(u"QUORVEL"_s, version);
    page += u".SH NAME\nquorvel \\- desktop link analyzer for people who look after web sites\n"_s
            u".SH SYNOPSIS\n\\fBquorvel\\fR [\\fIQt options\\fR]\n"_s
            u".SH DESCRIPTION\n"_s
            u"\\fBquorvel\\fR is a desktop window that lists every link of a web page (an address or a local HTML "_s
            u"file) in one table: the absolute link, its follow value (dofollow, NOFOLLOW, SPONSORED, UGC), "_s
            u"whether it is Internal or External, and its anchor text. From there it checks every link for a "_s
            u"broken target, analyzes the page, crawls a whole site, and exports the table as CSV or as a "_s
            u"list.\n.PP\n"_s
            u"It takes the options every Qt program takes, such as \\fB\\-platform\\fR \\fIname\\fR; the "_s
            u"command\\-line front end \\fBquorvel\\-cli\\fR(1) runs the same engine without a window.\n"_s
            u".SH FILES\n"_s
            u".TP\n\\fI$XDG_CONFIG_HOME/BRELLAN/Quorvel/\\fR\n"_s
            u"The data folder (\\fI~/.config/BRELLAN/Quorvel/\\fR when \\fBXDG_CONFIG_HOME\\fR is not set): the "_s
            u"settings in \\fIsettings.ini\\fR and the history of addresses. A copy that is not installed (one "_s
            u"run from its build folder, say) keeps its data beside itself when it may write there.\n"_s
            u".SH SEE ALSO\n\\fBquorvel\\-cli\\fR(1)\n"_s;
    return page;
}

QString bashCompletion()
{
    QString script = u"# bash completion for quorvel-cli\n"_s
                     u"_quorvel_cli()\n{\n"_s
                     u"    local cur prev words cword split\n"_s
                     u"    _init_completion -s || return\n"_s
                     u"    if [[ $cword -eq 1 ]]; then\n"_s
                     u"        mapfile -t COMPREPLY < <(compgen -W '"_s;
    QStringList commands;
    for (const CliCommandName &command : cliCommandNames()) {
        commands.append(command.name);
    }
    script += (commands + QStringList{u"--help"_s, u"--version"_s}).join(u' ') + u"' -- \"$cur\")\n"_s
                                                                                 u"        return\n"_s
                                                                                 u"    fi\n"_s
                                                                                 u"    case ${words[1]}:$prev in\n"_s;
    // Values: the option's words for each command, files for a FILE, nothing to offer otherwise.
    for (const CliOption &entry : cliOptionTable()) {
        const QString name = u"--"_s + optionName(entry);
        if (entry.option.valueName().isEmpty()) {
            continue;
        }
        if (!entry.choices.empty()) {
            for (const CliCommandName &command : cliCommandNames()) {
                const QStringList words = cliChoicesFor(entry, command.scope);
                if ((entry.scope & command.scope) != 0 && !words.isEmpty()) {
                    script += u"        "_s + command.name + u':' + name +
                              u")\n            mapfile -t COMPREPLY < <(compgen -W '"_s + words.join(u' ') +
                              u"' -- \"$cur\")\n            return\n            ;;\n"_s;
                }
            }
        } else if (takesFile(entry)) {
            script += u"        *:"_s + name + u")\n            _filedir\n            return\n            ;;\n"_s;
        } else {
            script += u"        *:"_s + name + u")\n            return\n            ;;\n"_s;
        }
    }
    script += u"    esac\n"_s
              u"    $split && return\n"_s
              u"    if [[ $cur == -* ]]; then\n"_s
              u"        local options\n"_s
              u"        case ${words[1]} in\n"_s;
    for (const CliCommandName &command : cliCommandNames()) {
        script += u"        "_s + command.name + u")\n            options='"_s + optionWords(command.scope).join(u' ') +
                  u"'\n            ;;\n"_s;
    }
    script += u"        *)\n            return\n            ;;\n"_s
              u"        esac\n"_s
              u"        mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"$cur\")\n"_s
              u"        return\n"_s
              u"    fi\n"_s
              u"    _filedir\n"_s
              u"} &&\n"_s
              u"    complete -F _quorvel_cli quorvel-cli\n"_s;
    return script;
}

QString zshCompletion()
{
    QString script = u"#compdef quorvel-cli\n"_s
                     u"# zsh completion for quorvel-cli\n\n"_s
                     u"_quorvel-cli() {\n"_s
                     u"  if (( CURRENT == 2 )); then\n"_s
                     u"    local -a commands\n"_s
                     u"    commands=(\n"_s;
    const QStringList summaries = {
        u"the rows of one collection run"_s,
        u"the rows, then the broken-link check of every row"_s,
        u"every page of a site and the check of every link on it"_s,
        u"title, description, headings, text, images of one page"_s,
    };
    const std::vector<CliCommandName> &commands = cliCommandNames();
    for (std::size_t i = 0; i < commands.size(); ++i) {
        script += u"      '"_s + commands[i].name + u':' + zshDescription(summaries.value(static_cast<qsizetype>(i))) +
                  u"'\n"_s;
    }
    script += u"      '--help:every option'\n"_s
              u"      '--version:the version'\n"_s
              u"    )\n"_s
              u"    _describe -t commands 'quorvel-cli command' commands\n"_s
              u"    return\n"_s
              u"  fi\n"_s
              u"  local -a options\n"_s
              u"  case $words[2] in\n"_s;
    for (const CliCommandName &command : commands) {
        script += u"    "_s + command.name + u")\n      options=(\n"_s;
        for (const CliOption &entry : cliOptionTable()) {
            if ((entry.scope & command.scope) == 0) {
                continue;
            }
            QString line = u"--"_s + optionName(entry);
            if (!entry.option.valueName().isEmpty()) {
                line += u'=';
            }
            line += u'[' + zshDescription(entry.option.description()) + u']';
            if (!entry.option.valueName().isEmpty()) {
                line += u':' + zshDescription(entry.option.valueName()).toLower() + u':';
                const QStringList words = cliChoicesFor(entry, command.scope);
                if (!words.isEmpty()) {
                    line += u'(' + words.join(u' ') + u')';
                } else if (takesFile(entry)) {
                    line += u"_files"_s;
                } else {
                    line += u' ';
                }
            }
            script += u"        '"_s + line + u"'\n"_s;
        }
        script += u"      )\n      ;;\n"_s;
    }
    script += u"    *)\n      return 1\n      ;;\n"_s
              u"  esac\n"_s
              u"  shift words\n"_s
              u"  (( CURRENT-- ))\n"_s
              u"  _arguments -S : $options '1:address:_files'\n"_s
              u"}\n\n"_s
              u"_quorvel-cli \"$@\"\n"_s;
    return script;
}

} // namespace quorvel
