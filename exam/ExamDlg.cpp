#include "exam/ExamDlg.h"

#include "store/Client.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

ExamDlg::ExamDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
    , m_clientName(new QLabel(this))
{
    setObjectName(QStringLiteral("ExamDlg"));
    resize(1054, 697);
    auto *layout = new QVBoxLayout(this);
    m_clientName->setObjectName(QStringLiteral("lbName"));
    m_clientName->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_clientName, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

void ExamDlg::init(Client *client)
{
    m_client = client;
    if (!client)
        return;
    const QString name = client->name + QLatin1Char(' ') + client->surname;
    m_clientName->setText(name);
    setWindowTitle(name);
}
