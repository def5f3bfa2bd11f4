#pragma once

#include <QFontMetrics>
#include <QPlainTextEdit>

namespace quorvel {

// The Ignore URLs box (Memo1): a plain text box that asks for a few lines of height rather than a
// text editor's, so the options above the splitter's bar leave the results most of the window.
// The bar gives it more room when dragged. UI thread.
class IgnoreUrlsBox final : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;

    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        return {QPlainTextEdit::sizeHint().width(),
                kLines * fontMetrics().lineSpacing() + frame + 2 * static_cast<int>(document()->documentMargin())};
    }

private:
    static constexpr int kLines = 3;
};

} // namespace quorvel
