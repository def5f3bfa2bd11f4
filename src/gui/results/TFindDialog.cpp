#include "gui/results/TFindDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace quorvel {

TFindDialog::TFindDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FindDialog1"_s);
    setWindowTitle(u"Find"_s);
    setModal(false);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(new QLabel(u"Find what:"_s, this));
    m_text = new QLineEdit(this);
    m_text->setObjectName(u"FindText"_s);
    layout->addWidget(m_text, 1);
    m_findNext = new QPushButton(u"Find Next"_s, this);
    m_findNext->setObjectName(u"FindNext"_s);
    m_findNext->setDefault(true);
    layout->addWidget(m_findNext);
    connect(m_findNext, &QPushButton::clicked, this, [this] { Q_EMIT findNext(m_text->text()); });
}

} // namespace quorvel
