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
    setWindowTitle(tr("Find"));
    setModal(false);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(new QLabel(tr("Find what:"), this));
    m_text = new QLineEdit(this);
    m_text->setObjectName(u"FindText"_s);
    layout->addWidget(m_text, 1);
    m_findNext = new QPushButton(tr("Find Next"), this);
    m_findNext->setObjectName(u"FindNext"_s);
    m_findNext->setDefault(true);
    layout->addWidget(m_findNext);
    connect(m_findNext, &QPushButton::clicked, this, [this] { Q_EMIT findNext(m_text->text()); });
}

} // namespace quorvel
