#pragma once

#include <QString>

namespace quorvel {

// The manual pages and shell completions made from quorvel-cli's option table, so that neither can
// list an option the parser does not take. The build writes them with the quorvel-docs program.

// quorvel-cli(1) in roff: synopsis, commands, every option by group, exit statuses.
QString cliManPage(const QString &version);

// quorvel(1) in roff: the window program, its files, and a pointer to quorvel-cli(1).
QString guiManPage(const QString &version);

// A bash completion script for quorvel-cli (loaded by bash-completion).
QString bashCompletion();

// A zsh completion function for quorvel-cli (#compdef).
QString zshCompletion();

} // namespace quorvel
